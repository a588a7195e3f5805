#include "util/PeVersionInfo.h"

#include "util/FileName.h"

#include <QFile>
#include <QtEndian>

namespace kelvane {

namespace {

constexpr quint32 kRtVersion = 16;
constexpr qint64 kMaxResourceSection = 64 * 1024 * 1024;

// Bounds-checked little-endian reads from a byte buffer.
class Bytes {
public:
    explicit Bytes(QByteArray data) : data_(std::move(data)) {}
    bool Has(qint64 offset, qint64 length) const {
        return offset >= 0 && length >= 0 && offset <= data_.size() && length <= data_.size() - offset;
    }
    quint16 U16(qint64 offset) const { return static_cast<quint16>(Le(offset, 2)); }
    quint32 U32(qint64 offset) const { return static_cast<quint32>(Le(offset, 4)); }
    // A NUL-terminated UTF-16LE text starting at `offset`, not reaching past `end`; `after` is the
    // offset behind its terminator.
    QString Text(qint64 offset, qint64 end, qint64* after = nullptr) const {
        QString text;
        qint64 i = offset;
        for (; i + 2 <= end && Has(i, 2); i += 2) {
            const quint16 c = U16(i);
            if (c == 0) {
                i += 2;
                break;
            }
            text += QChar(c);
        }
        if (after != nullptr)
            *after = i;
        return text;
    }
    qint64 size() const { return data_.size(); }

private:
    // `length` bytes at `offset` as a little-endian number; 0 outside the buffer.
    quint64 Le(qint64 offset, int length) const {
        if (!Has(offset, length))
            return 0;
        quint64 value = 0;
        for (int i = length - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(data_.at(offset + i));
        return value;
    }

    QByteArray data_;
};

QByteArray ReadAt(QFile& file, qint64 offset, qint64 length) {
    if (offset < 0 || length <= 0 || !file.seek(offset))
        return {};
    return file.read(length);
}

qint64 Align4(qint64 offset) { return (offset + 3) & ~qint64{3}; }

// One node of the version resource: wLength, wValueLength, wType, key, value, children.
struct Block {
    QString key;
    qint64 value = 0;      // offset of the value
    qint64 childrenAt = 0; // offset of the first child
    qint64 end = 0;        // offset behind the block
};

std::optional<Block> ReadBlock(const Bytes& bytes, qint64 at, qint64 limit) {
    const quint16 length = bytes.U16(at);
    const quint16 valueLength = bytes.U16(at + 2);
    const quint16 type = bytes.U16(at + 4);
    if (length < 6 || !bytes.Has(at, length) || at + length > limit)
        return std::nullopt;
    Block block;
    block.end = at + length;
    qint64 afterKey = 0;
    block.key = bytes.Text(at + 6, block.end, &afterKey);
    block.value = Align4(afterKey);
    const qint64 valueBytes = type == 1 ? qint64{valueLength} * 2 : valueLength;
    block.childrenAt = Align4(block.value + valueBytes);
    return block;
}

// The version resource's bytes: the first RT_VERSION entry of the resource tree.
std::optional<QByteArray> VersionResource(QFile& file) {
    const QByteArray dos = ReadAt(file, 0, 64);
    if (dos.size() < 64 || !dos.startsWith("MZ"))
        return std::nullopt;
    const qint64 peAt = qFromLittleEndian<quint32>(dos.constData() + 0x3C);
    const Bytes header(ReadAt(file, peAt, 24 + 240));
    if (header.size() < 24 || header.U32(0) != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const quint16 sectionCount = header.U16(6);
    const quint16 optionalSize = header.U16(20);
    const quint16 magic = header.U16(24);
    const qint64 directories = magic == 0x20B ? 24 + 112 : 24 + 96;
    const qint64 directoryCount = header.U32(directories - 4);
    if ((magic != 0x10B && magic != 0x20B) || directoryCount <= 2)
        return std::nullopt;
    const quint32 resourceRva = header.U32(directories + 2 * 8);
    if (resourceRva == 0)
        return std::nullopt;

    // The section that holds the resource tree.
    const Bytes sections(ReadAt(file, peAt + 24 + optionalSize, qint64{sectionCount} * 40));
    for (quint16 i = 0; i < sectionCount; ++i) {
        const qint64 at = qint64{i} * 40;
        const quint32 virtualSize = sections.U32(at + 8);
        const quint32 virtualAddress = sections.U32(at + 12);
        const quint32 rawSize = sections.U32(at + 16);
        const quint32 rawAt = sections.U32(at + 20);
        const quint32 span = std::max(virtualSize, rawSize);
        if (resourceRva < virtualAddress || resourceRva >= qint64{virtualAddress} + span)
            continue;
        if (rawSize > kMaxResourceSection)
            return std::nullopt;
        const Bytes rsrc(ReadAt(file, rawAt, rawSize));
        const qint64 root = resourceRva - virtualAddress;
        // Type RT_VERSION, then the first name, then the first language.
        qint64 directory = root;
        for (int level = 0; level < 3; ++level) {
            const qint64 entries = qint64{rsrc.U16(directory + 12)} + rsrc.U16(directory + 14);
            quint32 offset = 0;
            for (qint64 e = 0; e < entries; ++e) {
                const qint64 entry = directory + 16 + e * 8;
                if (!rsrc.Has(entry, 8))
                    return std::nullopt;
                if (level > 0 || rsrc.U32(entry) == kRtVersion) {
                    offset = rsrc.U32(entry + 4);
                    break;
                }
            }
            const bool subdirectory = (offset & 0x80000000U) != 0;
            if (offset == 0 || subdirectory != (level < 2))
                return std::nullopt;
            directory = root + (offset & 0x7FFFFFFFU);
        }
        const quint32 dataRva = rsrc.U32(directory);
        const quint32 dataSize = rsrc.U32(directory + 4);
        const qint64 dataAt = qint64{dataRva} - virtualAddress + rawAt;
        if (dataSize == 0 || dataSize > kMaxResourceSection)
            return std::nullopt;
        return ReadAt(file, dataAt, dataSize);
    }
    return std::nullopt;
}

} // namespace

bool IsPeFile(const QString& path) {
    QFile file;
    if (!OpenForReading(file, path))
        return false;
    const QByteArray dos = ReadAt(file, 0, 64);
    if (dos.size() < 64 || !dos.startsWith("MZ"))
        return false;
    return ReadAt(file, qFromLittleEndian<quint32>(dos.constData() + 0x3C), 4) == QByteArray("PE\0\0", 4);
}

std::optional<QHash<QString, QString>> ReadPeVersionStrings(const QString& path, const QString& block) {
    QFile file;
    if (!OpenForReading(file, path))
        return std::nullopt;
    const std::optional<QByteArray> resource = VersionResource(file);
    if (!resource)
        return std::nullopt;
    const Bytes bytes(*resource);
    const std::optional<Block> root = ReadBlock(bytes, 0, bytes.size());
    if (!root || root->key != QLatin1String("VS_VERSION_INFO"))
        return std::nullopt;
    // StringFileInfo -> the string table of `block` -> its strings.
    for (qint64 at = root->childrenAt; at < root->end;) {
        const std::optional<Block> info = ReadBlock(bytes, at, root->end);
        if (!info)
            break;
        if (info->key == QLatin1String("StringFileInfo")) {
            for (qint64 t = info->childrenAt; t < info->end;) {
                const std::optional<Block> table = ReadBlock(bytes, t, info->end);
                if (!table)
                    break;
                if (table->key.compare(block, Qt::CaseInsensitive) == 0) {
                    QHash<QString, QString> strings;
                    for (qint64 s = table->childrenAt; s < table->end;) {
                        const std::optional<Block> entry = ReadBlock(bytes, s, table->end);
                        if (!entry)
                            break;
                        strings.insert(entry->key.toLower(), bytes.Text(entry->value, entry->end));
                        s = Align4(entry->end);
                    }
                    return strings;
                }
                t = Align4(table->end);
            }
        }
        at = Align4(info->end);
    }
    return std::nullopt;
}

} // namespace kelvane
