// The globe of a web page written by globe-world: the mesh is read from the
// page itself (base64 of a zlib stream: two uint32 counts, float32
// positions, uint32 corners, one colour index per vertex; little-endian),
// drawn unlit in the level colours with an orthographic camera as the
// editor's, and redrawn only when the user turns or zooms it.
(function () {
    'use strict';
    const started = performance.now();
    const canvas = document.getElementById('globe');
    const help = document.getElementById('help');
    const seaRadius = globeSeaRadius; // model units; the view is 2 high at zoom 1

    function fail(why) {
        help.textContent = why;
        help.className = 'failed';
    }

    function bytesOf(base64) {
        const text = atob(base64);
        const bytes = new Uint8Array(text.length);
        for (let i = 0; i < text.length; ++i)
            bytes[i] = text.charCodeAt(i);
        return bytes;
    }

    function inflate(bytes) {
        const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
        return new Response(stream).arrayBuffer();
    }

    function geometryOf(buffer) {
        const counts = new Uint32Array(buffer, 0, 2);
        const vertices = counts[0], triangles = counts[1];
        let at = 8;
        const positions = new Float32Array(buffer, at, 3 * vertices);
        at += 12 * vertices;
        const corners = new Uint32Array(buffer, at, 3 * triangles);
        at += 12 * triangles;
        const shown = new Uint8Array(buffer, at, vertices);
        const colours = new Uint8Array(3 * vertices);
        for (let v = 0; v < vertices; ++v)
            colours.set(globePalette[shown[v]], 3 * v);
        const geometry = new THREE.BufferGeometry();
        geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
        geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3, true));
        geometry.setIndex(new THREE.BufferAttribute(corners, 1));
        return geometry;
    }

    function show(geometry) {
        const renderer = new THREE.WebGLRenderer({canvas: canvas, antialias: true,
                                                  preserveDrawingBuffer: true});
        renderer.setPixelRatio(window.devicePixelRatio || 1);
        renderer.setClearColor(globeBackground);
        const scene = new THREE.Scene();
        const globe = new THREE.Mesh(geometry,
                                     new THREE.MeshBasicMaterial({vertexColors: THREE.VertexColors}));
        scene.add(globe);
        // Pole up, longitude 0 facing the viewer, the sea sphere 0.85 of the
        // view's half height: the editor's start view.
        const camera = new THREE.OrthographicCamera(-1, 1, 1, -1, 0.1, 10);
        camera.position.set(0, 0, 5);
        let pending = false;

        function draw() {
            pending = false;
            renderer.render(scene, camera);
        }
        function redraw() {
            if (!pending) {
                pending = true;
                requestAnimationFrame(draw);
            }
        }
        function fit() {
            const w = canvas.clientWidth, h = canvas.clientHeight;
            renderer.setSize(w, h, false);
            const aspect = w / Math.max(1, h);
            camera.left = -aspect;
            camera.right = aspect;
            camera.updateProjectionMatrix();
        }

        // A drag turns the globe under the cursor: a point on the sea sphere
        // follows it across the disc's middle.
        const xAxis = new THREE.Vector3(1, 0, 0), yAxis = new THREE.Vector3(0, 1, 0);
        const turn = new THREE.Quaternion();
        let last = null;
        canvas.addEventListener('pointerdown', function (event) {
            last = {x: event.clientX, y: event.clientY};
            canvas.setPointerCapture(event.pointerId);
        });
        canvas.addEventListener('pointermove', function (event) {
            if (!last)
                return;
            const radius = seaRadius * camera.zoom * canvas.clientHeight / 2;
            const dx = event.clientX - last.x, dy = event.clientY - last.y;
            last = {x: event.clientX, y: event.clientY};
            globe.quaternion.premultiply(turn.setFromAxisAngle(yAxis, dx / radius));
            globe.quaternion.premultiply(turn.setFromAxisAngle(xAxis, dy / radius));
            redraw();
        });
        function release() {
            last = null;
        }
        canvas.addEventListener('pointerup', release);
        canvas.addEventListener('pointercancel', release);
        // The wheel turned away from the user zooms in, as in the editor.
        canvas.addEventListener('wheel', function (event) {
            event.preventDefault();
            if (event.deltaY === 0)
                return;
            const zoom = event.deltaY < 0 ? camera.zoom * 1.1 : camera.zoom / 1.1;
            camera.zoom = Math.min(1000, Math.max(0.1, zoom));
            camera.updateProjectionMatrix();
            redraw();
        }, {passive: false});
        window.addEventListener('resize', function () {
            fit();
            redraw();
        });
        fit();
        draw();
        console.info('globe: ' + geometry.index.count / 3 + ' triangles drawn ' +
                     Math.round(performance.now() - started) + ' ms after the page began');
    }

    if (typeof DecompressionStream === 'undefined') {
        fail('This browser is too old to unpack the globe: open the page in a current ' +
             'Chromium, Firefox or Safari.');
        return;
    }
    inflate(bytesOf(document.getElementById('mesh').textContent))
        .then(function (buffer) {
            try {
                show(geometryOf(buffer));
            } catch (error) {
                fail('The globe cannot be drawn here: ' + error.message +
                     ' (this browser or machine may lack WebGL).');
            }
        })
        .catch(function (error) {
            fail('The globe in this page is damaged: ' + error.message);
        });
})();
