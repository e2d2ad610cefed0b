#include "common/local_text.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace vhb {

namespace {

constexpr char16_t kStandInBase = 0xDC00;  // + byte, for bytes 0x80 to 0xFF

bool isStandIn(const QString& t, qsizetype i) {
    const char16_t u = t[i].unicode();
    return u >= kStandInBase + 0x80 && u <= kStandInBase + 0xFF &&
           (i == 0 || !t[i - 1].isHighSurrogate());
}

// Every system encoding carries ASCII as itself, and the settings' texts are
// mostly ASCII: these pass through as they are.
bool isAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(const QString& t) {
    for (const QChar c : t)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool hasStandIns(const QString& t) {
    for (qsizetype i = 0; i < t.size(); ++i)
        if (isStandIn(t, i))
            return true;
    return false;
}

// The encoding's own text for these bytes, when it gives them back exactly.
bool decodesExactly(std::string_view bytes, QString& text) {
    text = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.contains(QChar::ReplacementCharacter) || hasStandIns(text))
        return false;
    const QByteArray back = text.toLocal8Bit();
    return std::string_view(back.constData(), static_cast<size_t>(back.size())) == bytes;
}

void appendEncoded(std::string& out, const QString& run) {
    QString clean = run;
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const bool paired =
            clean[i].isHighSurrogate()
                ? i + 1 < clean.size() && clean[i + 1].isLowSurrogate()
                : clean[i].isLowSurrogate() && i > 0 && clean[i - 1].isHighSurrogate();
        if (clean[i] == QChar::ReplacementCharacter || (clean[i].isSurrogate() && !paired))
            clean[i] = QLatin1Char('?');
    }
    const QByteArray b = clean.toLocal8Bit();
    out.append(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

QString textFromLocal8(std::string_view bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString whole;
    if (decodesExactly(bytes, whole))
        return whole;
    // Character by character: each byte sequence the encoding takes back
    // exactly is a character; any other byte stands for itself.
    QString out;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t taken = 0;
        if (b < 0x80) {
            out += QChar(b);
            taken = 1;
        }
        for (size_t n = 1; taken == 0 && n <= 4 && i + n <= bytes.size(); ++n) {
            QString c;
            if (decodesExactly(bytes.substr(i, n), c) &&
                (c.size() == 1 || (c.size() == 2 && c[0].isHighSurrogate()))) {
                out += c;
                taken = n;
            }
        }
        if (taken == 0) {
            out += QChar(static_cast<char16_t>(kStandInBase + b));
            taken = 1;
        }
        i += taken;
    }
    return out;
}

std::string local8FromText(const QString& text) {
    if (isAscii(text)) {
        // Straight into the string: the heartbeat reads four controls this way.
        std::string out(static_cast<size_t>(text.size()), '\0');
        for (qsizetype i = 0; i < text.size(); ++i)
            out[static_cast<size_t>(i)] = static_cast<char>(text[i].unicode());
        return out;
    }
    std::string out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isStandIn(text, i))
            continue;
        appendEncoded(out, text.mid(runStart, i - runStart));
        out.push_back(static_cast<char>(text[i].unicode() - kStandInBase));
        runStart = i + 1;
    }
    appendEncoded(out, text.mid(runStart));
    return out;
}

// With the system's own separators, so that an error names the file as the
// operator knows it.
std::filesystem::path filePathFromText(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
#endif
}

}  // namespace vhb
