#include "meshes/gltfexport.h"

#include "meshes/meshframe.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace {

// Appends a bufferView over bytes to the model's one buffer, and an accessor
// reading count elements of the given type from it.
int addAccessor(tinygltf::Model &model, const void *bytes, size_t size, int target,
                int componentType, int type, size_t count)
{
    std::vector<unsigned char> &data = model.buffers[0].data;
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = data.size();
    view.byteLength = size;
    view.target = target;
    const auto *first = static_cast<const unsigned char *>(bytes);
    data.insert(data.end(), first, first + size);
    model.bufferViews.push_back(view);

    tinygltf::Accessor accessor;
    accessor.bufferView = int(model.bufferViews.size()) - 1;
    accessor.componentType = componentType;
    accessor.type = type;
    accessor.count = count;
    model.accessors.push_back(accessor);
    return int(model.accessors.size()) - 1;
}

int addFloats(tinygltf::Model &model, const QVector<float> &values, int type, int perElement)
{
    return addAccessor(model, values.constData(), sizeof(float) * size_t(values.size()),
                       TINYGLTF_TARGET_ARRAY_BUFFER, TINYGLTF_COMPONENT_TYPE_FLOAT, type,
                       size_t(values.size() / perElement));
}

// glTF requires the bounds of every POSITION accessor.
void setBounds(tinygltf::Accessor &accessor, const QVector<float> &positions)
{
    accessor.minValues.assign(3, HUGE_VAL);
    accessor.maxValues.assign(3, -HUGE_VAL);
    for (int i = 0; i < positions.size(); ++i) {
        accessor.minValues[i % 3] = std::min(accessor.minValues[i % 3], double(positions[i]));
        accessor.maxValues[i % 3] = std::max(accessor.maxValues[i % 3], double(positions[i]));
    }
}

QVector<float> linearColours(const DrawnMesh &mesh)
{
    QVector<float> colours;
    colours.reserve(3 * mesh.vertexCount());
    for (int v = 0; v < mesh.vertexCount(); ++v) {
        const Rgb8 colour = vertexRgb8(mesh, v);
        for (unsigned char c : {colour.red, colour.green, colour.blue})
            colours << linearFromSrgb(float(c) / 255.0f);
    }
    return colours;
}

// The editor draws unlit: viewers that know KHR_materials_unlit show the
// vertex colours as they are, the others light a matte white surface.
tinygltf::Material unlitMaterial()
{
    tinygltf::Material material;
    material.name = "levels";
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    material.extensions["KHR_materials_unlit"] = tinygltf::Value(tinygltf::Value::Object());
    return material;
}

tinygltf::Model globeModel(const DrawnMesh &mesh)
{
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "globe-world";
    model.buffers.resize(1);

    const QVector<float> positions = framedPositions(mesh, UpAxis::Y);
    QVector<float> levels;
    levels.reserve(mesh.vertexCount());
    for (int level : mesh.levels)
        levels << float(level);
    QVector<quint32> indices;
    indices.reserve(mesh.corners.size());
    for (int corner : mesh.corners)
        indices << quint32(corner);

    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = addFloats(model, positions, TINYGLTF_TYPE_VEC3, 3);
    setBounds(model.accessors.back(), positions);
    primitive.attributes["COLOR_0"] = addFloats(model, linearColours(mesh), TINYGLTF_TYPE_VEC3, 3);
    primitive.attributes["_LEVEL"] = addFloats(model, levels, TINYGLTF_TYPE_SCALAR, 1);
    primitive.indices =
        addAccessor(model, indices.constData(), sizeof(quint32) * indices.size(),
                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                    TINYGLTF_TYPE_SCALAR, size_t(indices.size()));
    primitive.material = 0;
    model.materials.push_back(unlitMaterial());
    model.extensionsUsed.push_back("KHR_materials_unlit");

    tinygltf::Mesh globe;
    globe.name = "globe";
    globe.primitives.push_back(primitive);
    model.meshes.push_back(globe);
    tinygltf::Node node;
    node.name = "globe";
    node.mesh = 0;
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;
    return model;
}

} // namespace

float linearFromSrgb(float c)
{
    const double s = c;
    return float(s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
}

Status encodeGltf(const DrawnMesh &mesh, bool binary, const QString &path, QByteArray *bytes)
{
    const tinygltf::Model model = globeModel(mesh);
    std::ostringstream stream;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, stream, false, binary))
        return Status::notWritten(path, QStringLiteral("tinygltf could not write the glTF"));
    const std::string text = stream.str();
    *bytes = QByteArray(text.data(), int(text.size()));
    return Status();
}
