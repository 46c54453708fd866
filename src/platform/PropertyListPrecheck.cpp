#include "PropertyListPrecheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr qsizetype kBinaryHeaderSize = 8;
constexpr qsizetype kBinaryTrailerSize = 32;

// Where a document type declaration ends, quoted literals may hold '>'; nothing for one with an internal
// subset. No property list writer emits a subset, and libplist ends one at the first "]>" whatever quotes
// or comments around it say: any rule of ours for its end could disagree with that, and the elements in
// the gap would never be counted.
const char* endOfDoctype(const char* from, const char* end) {
    char quote = 0;
    for (const char* q = from; q < end; ++q) {
        if (quote) {
            quote = *q == quote ? 0 : quote;
        } else if (*q == '"' || *q == '\'') {
            quote = *q;
        } else if (*q == '[') {
            return nullptr;
        } else if (*q == '>') {
            return q + 1;
        }
    }
    return end;
}

// Counts open elements, and elements in all. Text inside a well-formed document cannot hold '<', so every
// '<' starts markup: comments, CDATA, the document type and processing instructions are skipped whole,
// each to where libplist ends it too, self-closing elements open nothing. Any other declaration is
// refused, as libplist refuses it.
bool xmlIsSafeToParse(const QByteArray& data, int limit) {
    if (data.contains('\0') || static_cast<quint64>(data.size()) > PropertyListPrecheck::kMaxBytes) {
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
    quint64 elements = 0;
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
        } else if (left >= 9 && std::memcmp(p, "<!DOCTYPE", 9) == 0) {
            p = endOfDoctype(p + 9, end);
            if (!p) {
                return false;
            }
        } else if (left >= 2 && p[1] == '!') {
            return false;
        } else if (left >= 2 && p[1] == '?') {
            p = skipPast(p + 2, "?>");
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
            if ((q[-1] != '/' && ++depth > limit) || ++elements > PropertyListPrecheck::kMaxObjects) {
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
    static constexpr uint64_t kObjectCap = PropertyListPrecheck::kMaxObjects + 1;
    static constexpr uint64_t kByteCap = PropertyListPrecheck::kMaxBytes + 1;

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

    // For a container: where its references start and how many there are; other objects have none. For a
    // string or data: the bytes it reads into (a UTF-16 character may take three in UTF-8).
    bool describe(uint64_t object, uint64_t* start, uint64_t* count, uint64_t* ownBytes) const {
        uint64_t offset = 0;
        *count = 0;
        *ownBytes = 0;
        if (!read(offsetTable_ + object * offsetSize_, offsetSize_, &offset) || offset >= offsetTable_) {
            return false;
        }
        const uint8_t kind = bytes_[offset] >> 4;
        const bool container = kind == 0xA || kind == 0xB || kind == 0xC || kind == 0xD;
        if (!container && kind != 0x4 && kind != 0x5 && kind != 0x6) {
            return true;
        }
        uint64_t length = 0;
        uint64_t at = 0;
        if (!lengthAt(offset, &length, &at)) {
            return false;
        }
        if (!container) {
            *ownBytes = std::min<uint64_t>(length, kByteCap) * (kind == 0x6 ? 3 : 1);
            return true;
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

    // What an object stands for once every reference is followed: itself and each object below it, as
    // often as it is reached, and the bytes those read into, with one more for each line of nesting.
    struct Expanded {
        uint64_t objects = 0;
        uint64_t bytes = 0;

        // Saturates just past the limits, so that no sum can wrap.
        void add(const Expanded& other) {
            objects = std::min(objects + other.objects, kObjectCap);
            bytes = std::min(bytes + other.bytes + other.objects, kByteCap);
        }
        [[nodiscard]] bool withinLimits() const {
            return objects <= PropertyListPrecheck::kMaxObjects && bytes <= PropertyListPrecheck::kMaxBytes;
        }
    };

    // Depth-first without recursion, remembering each object's depth and expanded size so that a shared
    // sub-tree is walked once however often it is referred to, and yet counted each time.
    bool maxDepthFrom(uint64_t top, int limit) {
        std::vector<int32_t> depthOf(objectCount_, kUnvisited);
        std::vector<Expanded> expandedOf(objectCount_);
        std::vector<Frame> path;
        const auto enter = [&](uint64_t object) {
            uint64_t start = 0;
            uint64_t count = 0;
            uint64_t ownBytes = 0;
            if (!describe(object, &start, &count, &ownBytes)) {
                return false;
            }
            expandedOf[object] = Expanded{1, ownBytes};
            if (count == 0) {
                depthOf[object] = 1;
                return expandedOf[object].withinLimits();
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
                const uint64_t done = frame.object;
                depthOf[done] = depth;
                path.pop_back();
                if (!path.empty()) {
                    path.back().deepest = std::max(path.back().deepest, depth);
                    Expanded& parent = expandedOf[path.back().object];
                    parent.add(expandedOf[done]);
                    if (!parent.withinLimits()) {
                        return false;
                    }
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
            Expanded& parent = expandedOf[path.back().object];
            parent.add(expandedOf[child]);
            if (!parent.withinLimits()) {
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
