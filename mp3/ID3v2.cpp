#include "mp3/ID3v2.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "mp3/FileAccess.h"
#include "mp3/ID3v2Frames.h"

namespace tavrin {

namespace {

using id3frames::BigEndian32;
using id3frames::FrameList;
using id3frames::IsFrameStart;
using id3frames::Layout;
using id3frames::OldFrame;
using id3frames::Piece;

// The seven frames of a tag, in the order of a fresh tag.
enum Slot : std::size_t { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kSlotCount };

constexpr std::array<const char*, kSlotCount> kIds22 = {"TT2", "TP1", "TAL", "TRK",
                                                        "TYE", "TCO", "COM"};
// Version 2.4 dates its recording in TDRC; a TYER is read where there is no TDRC.
constexpr std::array<const char*, kSlotCount> kIds24 = {"TIT2", "TPE1", "TALB", "TRCK",
                                                        "TDRC", "TCON", "COMM"};

const std::array<const char*, kSlotCount>& IdsOf(int major) {
    return major == 2 ? kIds22 : major == 4 ? kIds24 : TID3v2::kFrameIds;
}

// The slot of a frame identifier in a tag of that version; -1 for another frame.
int SlotOf(std::string_view id, int major) {
    const auto& ids = IdsOf(major);
    for (std::size_t k = 0; k < kSlotCount; ++k)
        if (id == ids[k]) return static_cast<int>(k);
    if (major == 4 && id == "TYER") return kYear;
    return -1;
}

std::size_t FieldIndex(ID3v2Field field) {
    return static_cast<std::size_t>(field);
}

// The field of a slot; the track has none.
int FieldOfSlot(std::size_t slot) {
    switch (slot) {
        case kTitle:
            return FieldIndex(ID3v2Field::Title);
        case kArtist:
            return FieldIndex(ID3v2Field::Artist);
        case kAlbum:
            return FieldIndex(ID3v2Field::Album);
        case kYear:
            return FieldIndex(ID3v2Field::Year);
        case kGenre:
            return FieldIndex(ID3v2Field::Genre);
        case kComment:
            return FieldIndex(ID3v2Field::Comment);
    }
    return -1;
}

// The reading loop over the frames of a version 2.3 tag at file positions, the header flags
// not interpreted: stops at the tag's end, at an identifier that does not start with A-Z, or
// at the first read that fails. `onFrame(id, position, size, body, count)` gets each frame
// whose first `count` body bytes (at most kFrameBuffer) could be read.
template <typename OnFrame>
void WalkFrames(int fd, std::int64_t tagSize, OnFrame&& onFrame) {
    // The tag, and what a last frame's reads may take beyond it, is read in one piece of at
    // most 64 KiB; reads beyond that piece go to the file.
    constexpr std::int64_t kWindowAt = TID3v2::kHeaderSize;
    std::vector<unsigned char> window(static_cast<std::size_t>(
        std::clamp<std::int64_t>(tagSize + TID3v2::kFrameBuffer, 0, 1 << 16)));
    const std::int64_t windowRead =
        fileaccess::ReadUpToAt(fd, window.data(), window.size(), kWindowAt);
    const bool windowHasEnd = windowRead >= 0 && windowRead < std::int64_t(window.size());
    auto readAt = [&](void* out, std::size_t count, std::int64_t at) {
        const std::int64_t end = at + static_cast<std::int64_t>(count);
        if (windowRead >= 0 && at >= kWindowAt) {
            if (end <= kWindowAt + windowRead) {
                std::memcpy(out, window.data() + (at - kWindowAt), count);
                return true;
            }
            if (windowHasEnd) return false;  // the file ends inside the window
        }
        return fileaccess::ReadExactAt(fd, out, count, at);
    };

    std::int64_t position = TID3v2::kHeaderSize;
    unsigned char header[TID3v2::kHeaderSize];
    unsigned char body[TID3v2::kFrameBuffer];
    while (position < tagSize) {
        if (!readAt(header, sizeof header, position)) break;
        if (!IsFrameStart(header[0])) break;
        const std::uint32_t size = BigEndian32(header + 4);
        const std::int64_t bodyAt = position + static_cast<std::int64_t>(sizeof header);
        std::size_t count = std::min<std::uint32_t>(size, TID3v2::kFrameBuffer);
        if (!readAt(body, count, bodyAt)) break;
        onFrame(header, position, size, body, count);
        position = bodyAt + size;
    }
}

// A track text: the part before the first "/" as a decimal number, 0 when it is not wholly a
// number (or does not fit in 32 bits); the low 8 bits are kept.
std::uint8_t TrackNumber(const std::string& text) {
    std::string number = id3text::TrimBoth(text);
    auto slash = number.find('/');
    if (slash != std::string::npos) number.erase(slash);
    std::size_t i = 0;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    if (i == number.size()) return 0;
    std::int64_t value = 0;
    for (; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9') return 0;
        value = value * 10 + (number[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

// The first body bytes of the frame each slot was read from (a later frame of an identifier
// replaces an earlier one).
using SlotHeads = std::array<std::string, kSlotCount>;

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// How a version 2.4 tag's frames lie: frame sizes in 7-bit groups, unless only 8-bit sizes
// make the frames end at the tag's end or its padding (some writers got this wrong).
Layout LayoutOf(int fd, const unsigned char* header, std::int64_t tagEnd) {
    Layout layout;
    layout.major = header[3];
    layout.unsynchronised = header[5] & id3frames::kFlagUnsynchronised;
    layout.extendedHeader = layout.major != 2 && (header[5] & id3frames::kFlagExtendedHeader);
    if (layout.major == 4 && !id3frames::ListFrames(fd, tagEnd, layout, {}).clean) {
        Layout eightBit = layout;
        eightBit.synchsafeSizes = false;
        if (id3frames::ListFrames(fd, tagEnd, eightBit, {}).clean) layout = eightBit;
    }
    return layout;
}

// Per slot, the index of the frame its field was read from in a version 2.2 or 2.4 list; -1
// for none. In version 2.4 a TDRC counts before a TYER.
using SourceFrames = std::array<int, kSlotCount>;

SourceFrames LastFramesOfSlots(const std::vector<OldFrame>& frames, int major) {
    SourceFrames sources;
    sources.fill(-1);
    bool yearFromTdrc = false;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int slot = SlotOf(frames[i].id, major);
        if (slot < 0) continue;
        const bool tdrc = frames[i].id == "TDRC";
        if (slot == kYear && major == 4 && yearFromTdrc && !tdrc) continue;
        if (slot == kYear && tdrc) yearFromTdrc = true;
        sources[slot] = static_cast<int>(i);
    }
    return sources;
}

// The frame each field of a version 2.3 tag was read from: the last of its identifier that
// the reading loop met. With a plain layout (no extended header, no unsynchronisation) the
// reading loop saw exactly the listed frames, and a field read from a frame that does not lie
// wholly inside the tag has none; otherwise the last frame of each identifier counts.
SourceFrames FindVersion23Sources(int fd, std::int64_t tagSize, bool plainLayout,
                                  const std::vector<OldFrame>& frames) {
    if (!plainLayout) return LastFramesOfSlots(frames, 3);
    SourceFrames sources;
    sources.fill(-1);
    std::array<std::int64_t, kSlotCount> readAt;
    readAt.fill(-1);
    WalkFrames(fd, tagSize,
               [&](const unsigned char* id, std::int64_t at, std::uint32_t size,
                   const unsigned char*, std::size_t) {
                   const int slot =
                       SlotOf(std::string_view(reinterpret_cast<const char*>(id), 4), 3);
                   const bool whole =
                       at + static_cast<std::int64_t>(TID3v2::kHeaderSize) + size <= tagSize;
                   if (slot >= 0) readAt[slot] = whole ? at : -1;
               });
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int slot = SlotOf(frames[i].id, 3);
        const auto at = static_cast<std::int64_t>(frames[i].start + TID3v2::kHeaderSize);
        if (slot >= 0 && readAt[slot] == at) sources[slot] = static_cast<int>(i);
    }
    return sources;
}

// What a new frame of a slot holds, and how its texts are written.
struct NewFrames {
    int major = 3;  // of the new tag
    bool unsynchronisedTag = false;
    const SourceFrames* sources = nullptr;
    const std::vector<OldFrame>* frames = nullptr;

    const OldFrame* Source(std::size_t k) const {
        if (!sources || (*sources)[k] < 0) return nullptr;
        return &(*frames)[static_cast<std::size_t>((*sources)[k])];
    }
    // A Unicode text keeps the encoding of the frame it replaces, where the new tag's version
    // allows it: UTF-16 with a byte order mark in 2.3, else UTF-8 in 2.4.
    unsigned char UnicodeEncoding(std::size_t k) const {
        const OldFrame* source = Source(k);
        const unsigned char old =
            source && source->headRead && !source->head.empty() ? source->head[0] : 0;
        if (major == 4) return id3text::IsUnicode(old) ? old : id3text::kUtf8;
        return id3text::kUtf16;
    }
    // A comment keeps the language of the frame it replaces.
    std::string Language(std::size_t k) const {
        const OldFrame* source = Source(k);
        if (source && source->headRead && source->head.size() >= 4)
            return source->head.substr(1, 3);
        return "eng";
    }
    std::string Frame(std::size_t k, const TagText& text, std::uint8_t track) const {
        std::string body;
        if (k == kTrack) {
            if (track == 0) return {};
            body = id3text::TextBody(TagText(std::to_string(track)), id3text::kSingleByte);
        } else if (text.bytes.empty()) {
            return {};
        } else if (k == kComment) {
            body = id3text::CommentBody(text, Language(k), UnicodeEncoding(k));
        } else {
            body = id3text::TextBody(text, UnicodeEncoding(k));
        }
        const char* id = major == 4 ? kIds24[k] : TID3v2::kFrameIds[k];
        return id3frames::NewFrame(id, body, major, unsynchronisedTag);
    }
};

}  // namespace

std::int32_t TID3v2::TagSizeOf(const unsigned char* header, std::int64_t fileSize) {
    std::int64_t size = (std::int64_t{header[6]} << 21) + (std::int64_t{header[7]} << 14) +
                        (std::int64_t{header[8]} << 7) + header[9] + 10;
    return size > fileSize ? 0 : static_cast<std::int32_t>(size);
}

void TID3v2::Clear() {
    present_ = false;
    majorVersion_ = 0;
    tagSize_ = 0;
    texts_ = Texts{};
    loaded_ = Texts{};
    track_ = 0;
}

const TagText& TID3v2::Text(ID3v2Field field) const {
    return texts_[FieldIndex(field)];
}

void TID3v2::SetText(ID3v2Field field, const TagText& text) {
    texts_[FieldIndex(field)] = TagText(id3text::TrimRight(text.bytes), text.unicode);
}

void TID3v2::KeepText(ID3v2Field field) {
    texts_[FieldIndex(field)] = loaded_[FieldIndex(field)];
}

bool TID3v2::Load(const std::string& fileName) {
    Clear();
    std::int64_t fileSize = 0;
    fileaccess::FileHandle file = fileaccess::OpenForReading(fileName, &fileSize);
    return file.IsOpen() && LoadFrom(file.Get(), fileSize);
}

bool TID3v2::LoadFrom(int fd, std::int64_t fileSize) {
    Clear();
    unsigned char header[kHeaderSize];
    if (!fileaccess::ReadExactAt(fd, header, sizeof header, 0)) return false;
    if (std::memcmp(header, "ID3", 3) != 0) return true;
    present_ = true;
    majorVersion_ = header[3];
    tagSize_ = TagSizeOf(header, fileSize);
    if (tagSize_ == 0 || majorVersion_ < 2 || majorVersion_ > 4) return true;

    SlotHeads heads;
    if (majorVersion_ == 3) {
        WalkFrames(fd, tagSize_,
                   [&](const unsigned char* id, std::int64_t, std::uint32_t,
                       const unsigned char* body, std::size_t count) {
                       int slot = SlotOf(std::string_view(reinterpret_cast<const char*>(id), 4), 3);
                       if (slot >= 0)
                           heads[slot].assign(reinterpret_cast<const char*>(body), count);
                   });
    } else {
        const Layout layout = LayoutOf(fd, header, tagSize_);
        const int major = majorVersion_;
        FrameList list = id3frames::ListFrames(
            fd, tagSize_, layout, [major](std::string_view id) { return SlotOf(id, major) >= 0; });
        const SourceFrames sources = LastFramesOfSlots(list.frames, major);
        for (std::size_t k = 0; k < kSlotCount; ++k)
            if (sources[k] >= 0) heads[k] = list.frames[static_cast<std::size_t>(sources[k])].head;
    }

    for (std::size_t k = 0; k < kSlotCount; ++k) {
        const std::string& head = heads[k];
        if (k == kTrack) {
            track_ = TrackNumber(id3text::FrameText(Bytes(head), head.size()).bytes);
        } else if (k == kComment) {
            texts_[FieldOfSlot(k)] = id3text::CommentText(Bytes(head), head.size());
        } else {
            TagText text = id3text::FrameText(Bytes(head), head.size());
            // A genre's numeric references, such as (13) or (17)Rock, go.
            auto paren = text.bytes.rfind(')');
            if (k == kGenre && paren != std::string::npos) text.bytes.erase(0, paren + 1);
            texts_[FieldOfSlot(k)] = std::move(text);
        }
    }
    loaded_ = texts_;
    return true;
}

bool TID3v2::Save(const std::string& fileName, const DropQuestion& askDrop) {
    const std::string path = fileaccess::ResolveForRewrite(fileName);
    if (path.empty() || !fileaccess::SetAttributesNormal(path)) return false;
    std::int64_t fileSize = 0;
    fileaccess::FileHandle source = fileaccess::OpenForReading(path, &fileSize);
    if (!source.IsOpen()) return false;
    const int fd = source.Get();
    unsigned char header[kHeaderSize];
    if (!fileaccess::ReadExactAt(fd, header, sizeof header, 0)) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;

    // Where the old tag ends and the audio starts (after a version 2.4 footer), unless its
    // stored size exceeds the file.
    std::int64_t tagEnd = 0;
    std::int64_t audioAt = 0;
    bool keepFrames = false;
    if (std::memcmp(header, "ID3", 3) == 0) {
        tagEnd = audioAt = TagSizeOf(header, fileSize);
        keepFrames = header[3] >= 2 && header[3] <= 4 && tagEnd > 0;
        unsigned char footer[3];
        if (keepFrames && header[3] == 4 && (header[5] & id3frames::kFlagFooter) &&
            fileaccess::ReadExactAt(fd, footer, 3, tagEnd) && std::memcmp(footer, "3DI", 3) == 0)
            audioAt = tagEnd + 10;
    }
    const Layout layout = keepFrames ? LayoutOf(fd, header, tagEnd) : Layout{};
    NewFrames make;
    make.major = keepFrames && layout.major == 4 ? 4 : 3;
    make.unsynchronisedTag = make.major == 4 && layout.unsynchronised;

    std::array<bool, kSlotCount> changed{};
    for (std::size_t k = 0; k < kSlotCount; ++k) {
        const int field = FieldOfSlot(k);
        changed[k] = field >= 0 && !SameText(texts_[field], loaded_[field]);
    }
    auto newFrame = [&](std::size_t k) {
        const int field = FieldOfSlot(k);
        return make.Frame(k, field >= 0 ? texts_[field] : TagText(), track_);
    };

    std::vector<Piece> pieces;
    // Stretches of the old tag are read from a stream like the one the frames were listed in.
    const bool decodeStream = keepFrames && layout.major != 4 && layout.unsynchronised;
    if (keepFrames) {
        FrameList list = id3frames::ListFrames(fd, tagEnd, layout, [&](std::string_view id) {
            return SlotOf(id, layout.major) >= 0 ||
                   (layout.major == 2 && (id == "PIC" || id == "LNK"));
        });
        if (list.failed) return false;
        const SourceFrames sources =
            layout.major == 3
                ? FindVersion23Sources(fd, tagEnd, !layout.unsynchronised && !layout.extendedHeader,
                                       list.frames)
                : LastFramesOfSlots(list.frames, layout.major);
        make.sources = &sources;
        make.frames = &list.frames;

        std::vector<int> replacedSlot(list.frames.size(), -1);
        for (std::size_t k = 0; k < kSlotCount; ++k)
            if (sources[k] >= 0 && changed[k]) replacedSlot[sources[k]] = static_cast<int>(k);
        std::vector<std::string> dropped;
        for (std::size_t i = 0; i < list.frames.size(); ++i) {
            const OldFrame& frame = list.frames[i];
            if (replacedSlot[i] >= 0) {
                std::string bytes = newFrame(static_cast<std::size_t>(replacedSlot[i]));
                if (!bytes.empty()) pieces.push_back({false, 0, 0, std::move(bytes)});
            } else if (layout.major != 2) {
                pieces.push_back({true, frame.start, frame.length, {}});
            } else if (!id3frames::ConvertToVersion23(frame, pieces)) {
                dropped.push_back(frame.id);
            }
        }
        if (!dropped.empty() && (!askDrop || !askDrop(dropped))) return false;
        for (std::size_t k = 0; k < kSlotCount; ++k) {
            if (sources[k] >= 0 || !changed[k]) continue;
            std::string bytes = newFrame(k);
            if (!bytes.empty()) pieces.push_back({false, 0, 0, std::move(bytes)});
        }
    } else {
        for (std::size_t k = 0; k < kSlotCount; ++k) {
            std::string bytes = newFrame(k);
            if (!bytes.empty()) pieces.push_back({false, 0, 0, std::move(bytes)});
        }
    }
    std::uint64_t bodySize = 0;
    for (const Piece& piece : pieces)
        bodySize += piece.fromOldTag ? piece.length : piece.bytes.size();
    if (bodySize > id3frames::kMaxTagBody) return false;

    // The new file is written completely beside the old one and then takes its place.
    fileaccess::ReplacementFile temp(path);
    if (!temp.Create(st.st_mode | S_IWUSR)) return false;
    id3frames::BufferedWriter out(temp.Fd());
    std::string newHeader = {
        'I',  'D',
        '3',  static_cast<char>(make.major),
        '\0', make.unsynchronisedTag ? char(id3frames::kFlagUnsynchronised) : '\0'};
    id3frames::PutSynchsafe32(newHeader, bodySize);
    if (!out.Write(newHeader.data(), newHeader.size())) return false;
    id3frames::TagStream oldTag(fd, kHeaderSize, tagEnd, decodeStream);
    if (!id3frames::WritePieces(pieces, oldTag, out) || !out.Flush()) return false;
    if (fileaccess::CopyToEnd(fd, audioAt, temp.Fd(), out.Offset()) < 0) return false;
    source.Close();
    if (!temp.Commit()) return false;
    // The file now holds the fields: later changes are measured against them.
    loaded_ = texts_;
    return true;
}

}  // namespace tavrin
