#include "PropertyListPrecheck.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr qsizetype kBinaryHeaderSize = 8;
constexpr qsizetype kBinaryTrailerSize = 32;

// Counts open elements. Text inside a well-formed document cannot hold '<', so every '<' starts markup:
// comments, CDATA, declarations and processing instructions are skipped whole, self-closing elements
// open nothing.
bool xmlIsSafeToParse(const QByteArray& data, int limit) {
    if (data.contains('\0')) {
        return false;
    }
    const char* p = data.constData();
    const char* const end = p + data.size();
    const auto skipPast = [&](const char* from, const char* terminator) -> const char* {
        const size_t length = std::strlen(terminator);
        for (const char* q = from; q + length <= end; ++q) {
            if (std::memcmp(q, terminator, length) == 0) {
                return q + length;
            }
        }
        return end;
    };
    int depth = 0;
    while (p < end) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
        if (!p) {
            break;
        }
        const qsizetype left = end - p;
        if (left >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            p = skipPast(p + 4, "-->");
        } else if (left >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            p = skipPast(p + 9, "]]>");
        } else if (left >= 2 && (p[1] == '?' || p[1] == '!')) {
            p = skipPast(p + 2, ">");
        } else if (left >= 2 && p[1] == '/') {
            --depth;
            p = skipPast(p + 2, ">");
        } else {
            // An opening tag; quoted attribute values may hold '>'.
            char quote = 0;
            const char* q = p + 1;
            for (; q < end; ++q) {
                if (quote) {
                    quote = *q == quote ? 0 : quote;
                } else if (*q == '"' || *q == '\'') {
                    quote = *q;
                } else if (*q == '>') {
                    break;
                }
            }
            if (q >= end) {
                break;
            }
            if (q[-1] != '/' && ++depth > limit) {
                return false;
            }
            p = q + 1;
        }
    }
    return true;
}

class BinaryList {
public:
    explicit BinaryList(const QByteArray& data)
        : bytes_(reinterpret_cast<const uint8_t*>(data.constData())),
          size_(static_cast<uint64_t>(data.size())) {}

    bool isSafeToParse(int limit) {
        const uint8_t* trailer = bytes_ + size_ - kBinaryTrailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        const uint64_t objectCount = bigEndian(trailer + 8, 8);
        const uint64_t top = bigEndian(trailer + 16, 8);
        offsetTable_ = bigEndian(trailer + 24, 8);
        const uint64_t tableEnd = size_ - kBinaryTrailerSize;
        if (offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 || refSize_ > 8 || top >= objectCount ||
            offsetTable_ < kBinaryHeaderSize || offsetTable_ > tableEnd ||
            objectCount > (tableEnd - offsetTable_) / offsetSize_) {
            return false;
        }
        objectCount_ = objectCount;
        return stringsHoldNoNul() && maxDepthFrom(top, limit);
    }

private:
    static constexpr int32_t kUnvisited = -1;
    static constexpr int32_t kOnPath = -2;

    struct Frame {
        uint64_t object;
        uint64_t refs;    // where the next reference is read
        uint64_t left;    // references still to visit
        int32_t deepest;  // deepest child seen so far
    };

    static uint64_t bigEndian(const uint8_t* p, unsigned width) {
        uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            value = (value << 8) | p[i];
        }
        return value;
    }

    bool read(uint64_t at, unsigned width, uint64_t* value) const {
        if (at > size_ || width > size_ - at) {
            return false;
        }
        *value = bigEndian(bytes_ + at, width);
        return true;
    }

    // The length an object's marker gives (in the low nibble, or in an integer object after it when the
    // nibble is 0xF), and where the object's contents start.
    bool lengthAt(uint64_t offset, uint64_t* length, uint64_t* contents) const {
        *length = bytes_[offset] & 0x0F;
        *contents = offset + 1;
        if (*length != 0x0F) {
            return true;
        }
        uint8_t intMarker = 0;
        if (*contents >= size_ || ((intMarker = bytes_[*contents]) >> 4) != 0x1 || (intMarker & 0x0F) > 3) {
            return false;
        }
        const unsigned width = 1u << (intMarker & 0x0F);
        if (!read(*contents + 1, width, length)) {
            return false;
        }
        *contents += 1 + width;
        return true;
    }

    // Where an object starts and, for a string, its length in characters and the width of one.
    bool stringAt(uint64_t object, uint64_t* start, uint64_t* count, unsigned* width) const {
        uint64_t offset = 0;
        if (object >= objectCount_ || !read(offsetTable_ + object * offsetSize_, offsetSize_, &offset) ||
            offset >= offsetTable_) {
            return false;
        }
        const uint8_t kind = bytes_[offset] >> 4;
        *width = kind == 0x5 ? 1 : kind == 0x6 ? 2 : 0;
        if (*width == 0) {
            *count = 0;
            return true;
        }
        uint64_t length = 0;
        uint64_t at = 0;
        if (!lengthAt(offset, &length, &at)) {
            return false;
        }
        if (length > (size_ - at) / *width) {
            return false;
        }
        *start = at;
        *count = length;
        return true;
    }

    bool stringsHoldNoNul() const {
        for (uint64_t object = 0; object < objectCount_; ++object) {
            uint64_t start = 0;
            uint64_t length = 0;
            unsigned width = 0;
            if (!stringAt(object, &start, &length, &width)) {
                return false;
            }
            for (uint64_t c = 0; c < length; ++c) {
                if ((width == 1 && bytes_[start + c] == 0) ||
                    (width == 2 && bytes_[start + 2 * c] == 0 && bytes_[start + 2 * c + 1] == 0)) {
                    return false;
                }
            }
        }
        return true;
    }

    // For a container: where its references start and how many there are. Other objects have none.
    bool references(uint64_t object, uint64_t* start, uint64_t* count) const {
        uint64_t offset = 0;
        if (!read(offsetTable_ + object * offsetSize_, offsetSize_, &offset) || offset >= offsetTable_) {
            return false;
        }
        const uint8_t marker = bytes_[offset];
        const uint8_t kind = marker >> 4;
        if (kind != 0xA && kind != 0xB && kind != 0xC && kind != 0xD) {
            *count = 0;
            return true;
        }
        uint64_t length = 0;
        uint64_t at = 0;
        if (!lengthAt(offset, &length, &at)) {
            return false;
        }
        if (kind == 0xD) {
            // Keys first, then values; both are followed, the keys are leaves anyway.
            if (length > UINT64_MAX / 2) {
                return false;
            }
            length *= 2;
        }
        if (length > (size_ - at) / refSize_) {
            return false;
        }
        *start = at;
        *count = length;
        return true;
    }

    // Depth-first without recursion, remembering each object's depth so that shared sub-trees are
    // measured once.
    bool maxDepthFrom(uint64_t top, int limit) {
        std::vector<int32_t> depthOf(objectCount_, kUnvisited);
        std::vector<Frame> path;
        const auto enter = [&](uint64_t object) {
            uint64_t start = 0;
            uint64_t count = 0;
            if (!references(object, &start, &count)) {
                return false;
            }
            if (count == 0) {
                depthOf[object] = 1;
                return true;
            }
            depthOf[object] = kOnPath;
            path.push_back(Frame{object, start, count, 0});
            return static_cast<int>(path.size()) <= limit;
        };
        if (!enter(top)) {
            return false;
        }
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.left == 0) {
                const int32_t depth = frame.deepest + 1;
                depthOf[frame.object] = depth;
                path.pop_back();
                if (!path.empty()) {
                    path.back().deepest = std::max(path.back().deepest, depth);
                }
                continue;
            }
            uint64_t child = 0;
            if (!read(frame.refs, refSize_, &child) || child >= objectCount_) {
                return false;
            }
            frame.refs += refSize_;
            --frame.left;
            if (depthOf[child] == kOnPath) {
                return false;
            }
            if (depthOf[child] == kUnvisited) {
                if (!enter(child)) {
                    return false;
                }
                if (depthOf[child] == kOnPath) {
                    continue;
                }
            }
            // path may have grown; frame is re-read.
            path.back().deepest = std::max(path.back().deepest, depthOf[child]);
            if (path.size() + static_cast<size_t>(depthOf[child]) > static_cast<size_t>(limit)) {
                return false;
            }
        }
        return depthOf[top] <= limit;
    }

    const uint8_t* bytes_;
    uint64_t size_;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    uint64_t offsetTable_ = 0;
    uint64_t objectCount_ = 0;
};

}  // namespace

bool PropertyListPrecheck::isSafeToParse(const QByteArray& data, int limit) {
    if (data.size() >= kBinaryHeaderSize + kBinaryTrailerSize && data.startsWith(kBinaryMagic)) {
        return BinaryList(data).isSafeToParse(limit);
    }
    return xmlIsSafeToParse(data, limit);
}
