// Files as today's taggers write them (LAME 3.100, mutagen's mid3v2, id3lib's id3v2, and
// variants made from their tags: unsynchronised, with an extended header, version 2.2 as
// iTunes wrote it). For each: load, change the title only, save as the tag panel does. Every
// other frame must stay byte for byte (a frame dump made without our code, and mid3v2's own
// listing), the audio and the ID3v1 tag too, and other taggers must read the new title.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/TagWriter.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::ReadFile;
using test::RunCommand;
using test::TempDir;
using test::WriteFile;

// A frame dump that knows nothing of our code: one line per frame (identifier, flag bytes,
// body in hex; the tag's unsynchronisation undone in 2.2 and 2.3, 2.4 frames as stored), then
// the bytes after the tag. With --as-23, version 2.2 frames are shown as version 2.3 ones.
constexpr const char* kDumpScript = R"PY(
import sys, hashlib
d = open(sys.argv[1], 'rb').read()
as23 = len(sys.argv) > 2
ids22 = {b'TT2': b'TIT2', b'TP1': b'TPE1', b'TAL': b'TALB', b'TYE': b'TYER', b'TRK': b'TRCK',
         b'TCO': b'TCON', b'COM': b'COMM', b'PIC': b'APIC', b'TXX': b'TXXX', b'TCP': b'TCMP'}
def ss(b): return (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]
v, fl, size = d[3], d[5], ss(d[6:10])
body = d[10:10 + size]
end = 10 + size + (10 if v == 4 and fl & 0x10 else 0)
if fl & 0x80 and v < 4: body = body.replace(b'\xff\x00', b'\xff')
p = 0
if fl & 0x40 and v == 3: p = 4 + int.from_bytes(body[:4], 'big')
if fl & 0x40 and v == 4: p = ss(body[:4])
print('version', 3 if v == 2 and as23 else v)
while p < len(body) and body[p] != 0:
    if v == 2:
        fid, n, h, flags = body[p:p + 3], int.from_bytes(body[p + 3:p + 6], 'big'), 6, b'\0\0'
    else:
        fid, h, flags = body[p:p + 4], 10, body[p + 8:p + 10]
        n = ss(body[p + 4:p + 8]) if v == 4 else int.from_bytes(body[p + 4:p + 8], 'big')
    data = body[p + h:p + h + n]
    if v == 2 and as23:
        if fid == b'PIC':
            fmt = data[1:4]
            mime = {b'PNG': b'image/png', b'JPG': b'image/jpeg'}[fmt]
            data = data[:1] + mime + b'\0' + data[4:]
        fid = ids22[fid]
    print(fid.decode('latin-1'), flags.hex(), data.hex())
    p += h + n
print('after the tag', hashlib.sha256(d[end:]).hexdigest(), len(d) - end)
)PY";

// Variants made from the taggers' files, byte by byte.
constexpr const char* kVariantScript = R"PY(
import sys
kind, src, dst = sys.argv[1:4]
d = open(src, 'rb').read() if src != '-' else b''
def ss(n): return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])
def sd(b): return (b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]
def unsync(b):
    out = bytearray()
    for i, c in enumerate(b):
        out.append(c)
        if c == 0xFF and (i + 1 == len(b) or b[i + 1] >= 0xE0 or b[i + 1] == 0): out.append(0)
    return bytes(out)
size = sd(d[6:10]) if d else 0
head, body, rest = d[:10], d[10:10 + size], d[10 + size:]
def tag(version, flags, body): return b'ID3' + bytes([version, 0, flags]) + ss(len(body)) + body
if kind == 'unsync23':    # the whole tag unsynchronised (version 2.3)
    out = tag(3, 0x80, unsync(body)) + rest
elif kind == 'ext23':     # an extended header of 10 bytes in front (version 2.3)
    out = tag(3, 0x40, b'\0\0\0\x06' + b'\0' * 6 + body) + rest
elif kind in ('unsync24', 'ext24'):
    frames, p = b'', 0
    while p < len(body) and body[p] != 0:
        n = sd(body[p + 4:p + 8])
        fid, flags, data = body[p:p + 4], body[p + 8:p + 10], body[p + 10:p + 10 + n]
        if kind == 'unsync24':
            data = unsync(data)
            flags = bytes([flags[0], flags[1] | 0x02])
        frames += fid + ss(len(data)) + flags + data
        p += 10 + n
    if kind == 'unsync24':
        out = tag(4, 0x80, frames + b'\0' * 64) + rest
    else:                 # an extended header with the "tag is an update" flag
        out = tag(4, 0x40, ss(7) + b'\x01\x40\x00' + frames) + rest
elif kind in ('v22', 'unsync22'):   # what iTunes wrote: version 2.2, UTF-16 and Latin-1
    audio = open(sys.argv[4], 'rb').read()
    cover = bytes(range(256)) * 8
    def f(fid, data): return fid + len(data).to_bytes(3, 'big') + data
    def u16(s): return b'\xff\xfe' + s.encode('utf-16-le')
    frames = (f(b'TT2', b'\0V22 Title') + f(b'TP1', b'\x01' + u16('\u00c4rtist')) +
              f(b'TAL', b'\0Album') + f(b'TYE', b'\0' b'2001') + f(b'TRK', b'\0' b'4/12') +
              f(b'TCO', b'\0(17)') + f(b'COM', b'\0engiTunNORM\0 00000A0B 00000C0D') +
              f(b'COM', b'\x01eng' + u16('') + b'\0\0' + u16('Zeile eins\nZeile zwei')) +
              f(b'PIC', b'\0PNG\x03Cover\0' + cover) + f(b'TXX', b'\0key\0value') +
              f(b'TCP', b'\0' b'1'))
    if kind == 'unsync22':
        out = b'ID3\x02\0\x80' + ss(len(unsync(frames + b'\0' * 32))) + unsync(frames + b'\0' * 32)
    else:
        out = b'ID3\x02\0\0' + ss(len(frames) + 100) + frames + b'\0' * 100
    out += audio
open(dst, 'wb').write(out)
)PY";

// The scripts and the files made for one case.
struct Case {
    TempDir dir;
    std::string file;
    std::string error;
};

// Makes the file of a case with the taggers (each test runs in a process of its own).
void MakeCase(const std::string& name, Case& c) {
    const TempDir& dir = c.dir;
    WriteFile(dir / "variant.py", kVariantScript);
    WriteFile(dir / "dump.py", kDumpScript);
    std::string out;
    auto run = [&](const std::string& command) {
        if (RunCommand(command + " 2>&1", &out) != 0) c.error += command + ": " + out + "\n";
    };
    const std::string plain = test::MakeToneMp3(dir, "plain", "-b 128", 2);
    std::string made;
    if (name.rfind("lame", 0) == 0) {
        // LAME 3.100: version 2.3, UTF-16 texts, and an ID3v1 tag.
        made = test::MakeToneMp3(dir, "lame",
                                 "-b 128 --add-id3v2 --tt 'Lame Title' --ta 'Lame Artist' "
                                 "--tl 'Lame Album' --ty 1999 --tc 'Lame comment' --tn 3/9 "
                                 "--tg Rock",
                                 2);
    } else if (name.rfind("mid3v2", 0) == 0) {
        // mutagen: version 2.4, UTF-8, a picture, TXXX, a long comment with line breaks.
        WriteFile(dir / "cover.png",
                  std::string("\x89PNG\r\n\x1A\n", 8) + std::string(3000, '\xFF'));
        std::string longComment;
        for (int i = 0; i < 40; ++i) longComment += "Zeile " + std::to_string(i) + " \xC3\xBC\n";
        made = dir / "mid3v2.mp3";
        run("cp " + test::ShellQuoted(plain) + " " + test::ShellQuoted(made));
        run("cd " + test::ShellQuoted(dir.Path()) +
            " && mid3v2 -t 'Mut Title' -a '\xC3\x84rtist \xE2\x98\x83' " +
            "-A 'Album' -y 2016-05-01 -T 3/9 -g Rock --TXXX 'key:value' -c 'Desc:" + longComment +
            ":deu' -p 'cover.png:Front:3:image/png' mid3v2.mp3");
    } else if (name.rfind("id3v2", 0) == 0) {
        // id3lib: version 2.3, Latin-1, padding, and an ID3v1 tag.
        made = dir / "id3v2.mp3";
        run("cp " + test::ShellQuoted(plain) + " " + test::ShellQuoted(made));
        run("id3v2 -t 'Id3 Title' -a '\xC3\x84rtist' -c 'Desc:Comment text:deu' " +
            std::string("--TXXX 'key:value' -y 1999 -T 2/5 -g 17 ") + test::ShellQuoted(made));
    }
    const std::map<std::string, std::string> variants = {{"lame_v23_unsynchronised", "unsync23"},
                                                         {"lame_v23_extended_header", "ext23"},
                                                         {"mid3v2_v24_unsynchronised", "unsync24"},
                                                         {"mid3v2_v24_extended_header", "ext24"},
                                                         {"itunes_v22", "v22"},
                                                         {"itunes_v22_unsynchronised", "unsync22"}};
    c.file = made;
    if (auto it = variants.find(name); it != variants.end()) {
        c.file = dir / (name + ".mp3");
        run("python3 " + test::ShellQuoted(dir / "variant.py") + " " + it->second + " " +
            test::ShellQuoted(made.empty() ? "-" : made) + " " + test::ShellQuoted(c.file) + " " +
            test::ShellQuoted(plain));
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The lines without those that start with `prefix`, and those.
std::pair<std::vector<std::string>, std::vector<std::string>> Split(const std::string& text,
                                                                    const std::string& prefix) {
    std::pair<std::vector<std::string>, std::vector<std::string>> parts;
    for (const std::string& line : Lines(text))
        (line.rfind(prefix, 0) == 0 ? parts.second : parts.first).push_back(line);
    return parts;
}

class TaggerCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(TaggerCorpus, ChangingTheTitleKeepsEverythingElse) {
    Case corpus;
    MakeCase(GetParam(), corpus);
    ASSERT_EQ(corpus.error, "");
    const std::string file = corpus.dir / "song.mp3";
    WriteFile(file, ReadFile(corpus.file));
    const bool v22 = std::string(GetParam()).find("v22") != std::string::npos;
    auto dump = [&](bool as23) {
        std::string out;
        EXPECT_EQ(RunCommand("python3 " + test::ShellQuoted(corpus.dir / "dump.py") + " " +
                                 test::ShellQuoted(file) + (as23 ? " --as-23" : ""),
                             &out),
                  0);
        return out;
    };
    auto listing = [&] {
        std::string out;
        EXPECT_EQ(RunCommand("mid3v2 -l " + test::ShellQuoted(file) + " | tail -n +2", &out), 0);
        return out;
    };
    const std::string dumpBefore = dump(v22);
    const std::string listedBefore = listing();
    ASSERT_NE(dumpBefore.find("\nTIT2 "), std::string::npos) << dumpBefore;

    // What the panel does: both tags loaded, the ID3v2 title typed, only ID3v2 saved.
    TID3v1 v1;
    TID3v2 v2;
    ASSERT_TRUE(v1.Load(file));
    ASSERT_TRUE(v2.Load(file));
    ID3v2Texts texts;
    const std::string title = "Neuer Titel \xC3\xBC";
    texts.title = TypedText(title);
    TagWriteResult result = IDTagWrite(file, v1, v2, false, {}, true, texts);
    ASSERT_TRUE(result.messages.empty()) << result.messages.front();

    // Every frame but the title, byte for byte, and all that follows the tag.
    auto [before, titleBefore] = Split(dumpBefore, "TIT2 ");
    auto [after, titleAfter] = Split(dump(false), "TIT2 ");
    EXPECT_EQ(after, before);
    ASSERT_EQ(titleAfter.size(), 1u);
    EXPECT_NE(titleAfter[0].find(" 004e65"), std::string::npos);  // single bytes: N, e, ...
    // mid3v2 lists the same, with the new title.
    // (A version 2.2 picture names its image format, the version 2.3 one a MIME type.)
    std::string listedAsBefore = listedBefore;
    if (v22) listedAsBefore.replace(listedAsBefore.find("(PNG, "), 6, "(image/png, ");
    auto [listedOthersBefore, listedTitleBefore] = Split(listedAsBefore, "TIT2=");
    auto [listedOthers, listedTitle] = Split(listing(), "TIT2=");
    EXPECT_EQ(listedOthers, listedOthersBefore);
    EXPECT_EQ(listedTitle, std::vector<std::string>{"TIT2=" + title});
    // So does id3lib, which reads version 2.3 tags.
    std::string id3lib;
    RunCommand("id3v2 -l " + test::ShellQuoted(file) + " 2>&1", &id3lib);
    if (dumpBefore.rfind("version 4", 0) != 0) {
        EXPECT_NE(id3lib.find("TIT2 (Title/songname/content description): " + title),
                  std::string::npos)
            << id3lib;
    }
    // Our own reader too, and a second save without a change alters nothing.
    TID3v2 again;
    ASSERT_TRUE(again.Load(file));
    EXPECT_EQ(ShownUtf8(again.Text(ID3v2Field::Title)), title);
    const std::string saved = ReadFile(file);
    ASSERT_TRUE(again.Save(file));
    EXPECT_EQ(ReadFile(file), saved);
}

INSTANTIATE_TEST_SUITE_P(Files, TaggerCorpus,
                         ::testing::Values("lame_v23_utf16", "lame_v23_unsynchronised",
                                           "lame_v23_extended_header", "id3v2_v23_latin1",
                                           "mid3v2_v24_utf8", "mid3v2_v24_unsynchronised",
                                           "mid3v2_v24_extended_header", "itunes_v22",
                                           "itunes_v22_unsynchronised"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace tavrin
