#include "world/filenames.h"

#include <QTextCodec>

namespace {

const ushort escapeBase = 0xDC00;

bool escapedByte(ushort unit)
{
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF;
}

// UTF-8 that keeps every byte. A sequence is taken only when it is well
// formed, shortest and not a surrogate; anything else goes byte by byte. Whole
// names and arguments are converted at once, so no state crosses calls: a
// sequence cut at a chunk's end (QTextStream) is kept as its bytes.
class ByteKeepingUtf8 : public QTextCodec
{
public:
    QByteArray name() const override { return "UTF-8 keeping bytes"; }
    int mibEnum() const override { return -106; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *) const override
    {
        const auto *bytes = reinterpret_cast<const uchar *>(in);
        QString out;
        out.reserve(length);
        for (int i = 0; i < length;) {
            const int taken = decodeOne(bytes + i, length - i, out);
            if (taken == 0)
                out.append(QChar(ushort(escapeBase + bytes[i++])));
            else
                i += taken;
        }
        return out;
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *) const override
    {
        QByteArray out;
        out.reserve(length);
        for (int i = 0; i < length; ++i) {
            const ushort unit = in[i].unicode();
            if (escapedByte(unit)) {
                out.append(char(unit - escapeBase));
                continue;
            }
            uint code = unit;
            if (QChar::isHighSurrogate(unit) && i + 1 < length && in[i + 1].isLowSurrogate())
                code = QChar::surrogateToUcs4(unit, in[++i].unicode());
            else if (QChar::isSurrogate(unit))
                code = QChar::ReplacementCharacter;
            appendUtf8(code, out);
        }
        return out;
    }

private:
    // The length of the well-formed sequence at bytes, appended to out; 0
    // when there is none.
    static int decodeOne(const uchar *bytes, int left, QString &out)
    {
        const uchar lead = bytes[0];
        if (lead < 0x80) {
            out.append(QChar(lead));
            return 1;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || length > left)
            return 0;
        uint code = lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) {
            if ((bytes[k] & 0xC0) != 0x80)
                return 0;
            code = (code << 6) | (bytes[k] & 0x3F);
        }
        const uint shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return 0;
        out.append(QString::fromUcs4(&code, 1));
        return length;
    }

    static void appendUtf8(uint code, QByteArray &out)
    {
        if (code < 0x80) {
            out.append(char(code));
        } else if (code < 0x800) {
            out.append(char(0xC0 | (code >> 6)));
            out.append(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.append(char(0xE0 | (code >> 12)));
            out.append(char(0x80 | ((code >> 6) & 0x3F)));
            out.append(char(0x80 | (code & 0x3F)));
        } else {
            out.append(char(0xF0 | (code >> 18)));
            out.append(char(0x80 | ((code >> 12) & 0x3F)));
            out.append(char(0x80 | ((code >> 6) & 0x3F)));
            out.append(char(0x80 | (code & 0x3F)));
        }
    }
};

} // namespace

void keepFileNameBytes()
{
    QTextCodec *locale = QTextCodec::codecForLocale();
    if (!locale || locale->mibEnum() != 106)
        return;
    // Qt keeps the codecs it is given for the life of the process.
    static ByteKeepingUtf8 *const codec = new ByteKeepingUtf8;
    QTextCodec::setCodecForLocale(codec);
}

namespace {

// The escapes a terminal needs: a character that would move the cursor,
// end the line or start a control sequence, and a byte that is not UTF-8.
QString escapedTextOf(const QString &text, bool backslash)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort unit = c.unicode();
        if (unit == '\n')
            out += QLatin1String("\\n");
        else if (unit == '\t')
            out += QLatin1String("\\t");
        else if (unit == '\\' && backslash)
            out += QLatin1String("\\\\");
        else if (unit < 0x20 || unit == 0x7F || (unit >= 0x80 && unit < 0xA0) || unit == 0x2028 ||
                 unit == 0x2029)
            out += QStringLiteral("\\x%1").arg(unit, 2, 16, QLatin1Char('0'));
        else if (escapedByte(unit))
            out += QStringLiteral("\\x%1").arg(unit - escapeBase, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

QString shownName(const QString &name)
{
    return escapedTextOf(name, true);
}

QString shownText(const QString &text)
{
    return escapedTextOf(text, false);
}

QString aboutFile(const QString &name, const QString &reason)
{
    return shownName(name) + QLatin1String(": ") + reason;
}
