#include "util/FileName.h"

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + byte 0x80..0xFF gives U+DC80..U+DCFF

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none. The second
// byte's range rules out overlong forms, surrogates and code points above U+10FFFF.
qsizetype SequenceLength(const unsigned char* at, qsizetype left) {
    const unsigned char lead = at[0];
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || at[1] < low || at[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (!IsContinuation(at[i]))
            return 0;
    return length;
}

bool IsEscape(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

} // namespace

QString FromUtf8Escaped(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            text += QChar(static_cast<char16_t>(lead));
            ++i;
            continue;
        }
        const qsizetype length = SequenceLength(data + i, size - i);
        if (length == 0) {
            // One byte at a time: a continuation byte never starts a sequence, so what follows an
            // invalid lead is decoded on its own.
            text += QChar(static_cast<char16_t>(kEscapeBase + lead));
            ++i;
            continue;
        }
        char32_t code = static_cast<char32_t>(lead & (0xFF >> (length + 1)));
        for (qsizetype k = 1; k < length; ++k)
            code = (code << 6) | static_cast<char32_t>(data[i + k] & 0x3F);
        if (code >= 0x10000) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(static_cast<char16_t>(code));
        }
        i += length;
    }
    return text;
}

QByteArray ToUtf8Escaped(QStringView text) {
    const char16_t* data = text.utf16();
    QByteArray bytes;
    qsizetype run = 0; // start of the characters since the last escape
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A low surrogate after a high one is half of a character, not an escape.
        if (!IsEscape(data[i]) || (i > 0 && QChar::isHighSurrogate(data[i - 1])))
            continue;
        bytes += text.mid(run, i - run).toUtf8();
        bytes += static_cast<char>(data[i] - kEscapeBase);
        run = i + 1;
    }
    if (run == 0)
        return text.toUtf8();
    bytes += text.mid(run).toUtf8();
    return bytes;
}

bool FileNameExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(EncodeFileName(path).constData(), &st) == 0;
}

QUrl LocalFileUrl(const QString& path) {
    return QUrl::fromEncoded("file://" + EncodeFileName(path).toPercentEncoding("/"), QUrl::StrictMode);
}

bool OpenForReading(QFile& file, const QString& path) {
    if (path.isEmpty())
        return false;
    const int fd = ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

QByteArray CanonicalFileName(const QString& path) {
    if (path.isEmpty())
        return {};
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(EncodeFileName(path).constData(), nullptr),
                                                              &std::free);
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

} // namespace kelvane
