// mp3 and tag: the MP3 tag panel's header data and tags, and its save, from the command line.
#include <cstdio>
#include <iostream>
#include <map>
#include <set>

#include "cli/CliCommon.h"
#include "mp3/FileAccess.h"
#include "mp3/ID3v1.h"
#include "mp3/ID3v2.h"
#include "mp3/MPEGaudio.h"
#include "mp3/TagWriter.h"

namespace tavrin::cli {

namespace {

void AppendLine(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += ": ";
    AppendEscaped(out, value);
    out += '\n';
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

const char* TagState(bool loaded, bool present) {
    return !loaded ? "unreadable" : present ? "present" : "absent";
}

// The block of one file; false when its analysis failed.
bool DescribeFile(const std::string& path, std::string& out) {
    TMPEGaudio audio;
    const bool analysed = audio.Analyse(path);
    const MPEGHeaderTexts texts = HeaderTexts(audio, '.');
    const FrameInfo& frame = audio.FrameInfo();
    const VBRData& vbr = audio.VBRData();
    AppendLine(out, "Analysed", YesNo(analysed));
    AppendLine(out, "Valid", YesNo(audio.IsValid()));
    AppendLine(out, "FileSize", texts.fileSize);
    AppendLine(out, "MPEG Type", texts.mpegType);
    AppendLine(out, "BitRate", texts.bitRate);
    AppendLine(out, "Sample rate", texts.sampleRate);
    AppendLine(out, "Mode", texts.channelMode);
    AppendLine(out, "Duration", texts.duration);
    AppendLine(out, "Encoder", texts.encoder);
    AppendLine(out, "Encoder Id", std::to_string(audio.EncoderId()));
    AppendLine(out, "Frame Offset", std::to_string(frame.Offset));
    AppendLine(out, "Frame Length", std::to_string(frame.Length));
    AppendLine(out, "VBR", vbr.Present ? vbr.Signature : "none");
    AppendLine(out, "VBR Frames", std::to_string(vbr.FrameCount));
    AppendLine(out, "VBR Bytes", std::to_string(vbr.ByteCount));
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.6f", audio.Duration());
    AppendLine(out, "Duration Seconds", seconds);

    // The tags as the tag panel reads them with objects of its own. When a frame was found
    // the analyser's own readers have just read the same and are used as they are.
    const bool reuse = frame.Present;
    TID3v1 ownV1;
    const bool v1Loaded = reuse || ownV1.Load(path);
    const TID3v1& v1 = reuse ? audio.ID3v1() : ownV1;
    AppendLine(out, "ID3v1", TagState(v1Loaded, v1.Present()));
    AppendLine(out, "ID3v1 Revision", std::to_string(v1.Revision()));
    AppendLine(out, "ID3v1 Title", v1.Title());
    AppendLine(out, "ID3v1 Artist", v1.Artist());
    AppendLine(out, "ID3v1 Album", v1.Album());
    AppendLine(out, "ID3v1 Year", v1.Year());
    AppendLine(out, "ID3v1 Comment", v1.Comment());
    AppendLine(out, "ID3v1 Track", std::to_string(v1.Track()));
    AppendLine(out, "ID3v1 Genre", std::to_string(v1.GenreIndex()));

    TID3v2 ownV2;
    const bool v2Loaded = reuse || ownV2.Load(path);
    const TID3v2& v2 = reuse ? audio.ID3v2() : ownV2;
    AppendLine(out, "ID3v2", TagState(v2Loaded, v2.Present()));
    AppendLine(out, "ID3v2 Version", std::to_string(v2.MajorVersion()));
    AppendLine(out, "ID3v2 Size", std::to_string(v2.TagSize()));
    AppendLine(out, "ID3v2 Title", v2.Title());
    AppendLine(out, "ID3v2 Artist", v2.Artist());
    AppendLine(out, "ID3v2 Album", v2.Album());
    AppendLine(out, "ID3v2 Year", v2.Year());
    AppendLine(out, "ID3v2 Genre", v2.Genre());
    AppendLine(out, "ID3v2 Comment", v2.Comment());
    AppendLine(out, "ID3v2 Track", std::to_string(v2.Track()));
    return analysed;
}

}  // namespace

int CmdMp3(const Args& args) {
    Args files;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && a.size() > 1 && a[0] == '-') {
            Error("unknown option " + a);
            return Usage("mp3");
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return Usage("mp3");
    int exitCode = kExitOk;
    std::string out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        out.clear();
        if (files.size() > 1) {
            if (i > 0) out += '\n';
            AppendLine(out, "File", files[i]);
        }
        if (!DescribeFile(files[i], out)) {
            exitCode = kExitFailed;
            if (!fileaccess::OpenForReading(files[i]).IsOpen()) Error("cannot read " + files[i]);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    std::fflush(stdout);
    return exitCode;
}

int CmdTag(const Args& args) {
    const std::set<std::string> flags = {"--v1", "--v2"};
    const std::set<std::string> valued = {"--title", "--artist", "--album",
                                          "--year",  "--genre",  "--comment"};
    std::map<std::string, std::string> o;
    Args plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            plain.insert(plain.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
            break;
        }
        if (a.size() > 1 && a[0] == '-') {
            if (flags.count(a)) {
                o[a] = std::string(1, '1');  // a plain literal trips a GCC 12 false warning
            } else if (valued.count(a) && i + 1 < args.size()) {
                o[a] = args[++i];
            } else {
                Error("unknown or incomplete option " + a);
                return Usage("tag");
            }
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() != 1) return Usage("tag");
    const std::string& file = plain[0];
    // The boxes' initial states: only "Use this format" of ID3v1 is checked.
    const bool useV1 = o.count("--v1") || !o.count("--v2");
    const bool useV2 = o.count("--v2") > 0;

    int genrePosition = -2;  // none given
    if (o.count("--genre") && useV1) {
        const std::string& name = o["--genre"];
        if (name.empty()) genrePosition = 0;
        for (int g = 0; g < kGenreCount && genrePosition == -2; ++g)
            if (name == GenreList()[g]) genrePosition = g + 1;
        if (genrePosition == -2) {
            Error("unknown genre '" + name + "' (an ID3v1 genre is one of the list's names)");
            return Usage("tag");
        }
    }

    // The panel's starting texts: the tags as they are in the file. The ID3v2 fields not
    // given stay as they are, frames and all.
    TID3v1 v1;
    TID3v2 v2;
    ID3v1Texts t1;
    ID3v2Texts t2;
    if (v1.Load(file) && v1.Present()) {
        t1.title = v1.Title();
        t1.artist = v1.Artist();
        t1.album = v1.Album();
        t1.year = v1.Year();
        t1.comment = v1.Comment();
    }
    // Without --genre the genre byte is written back as it was read.
    t1.genrePosition = v1.GenreIndex() == TID3v1::kNoGenre ? 0 : v1.GenreIndex() + 1;
    if (genrePosition != -2) t1.genrePosition = genrePosition;
    v2.Load(file);
    // The values are bytes, as the tags hold them (single-byte texts).
    auto apply = [&](const char* option, std::string& v1Text, std::optional<TagText>& v2Text) {
        auto it = o.find(option);
        if (it == o.end()) return;
        v1Text = it->second;
        v2Text = TagText(it->second);
    };
    apply("--title", t1.title, t2.title);
    apply("--artist", t1.artist, t2.artist);
    apply("--album", t1.album, t2.album);
    apply("--year", t1.year, t2.year);
    apply("--comment", t1.comment, t2.comment);
    if (o.count("--genre")) t2.genre = TagText(o["--genre"]);

    TagWriteResult result = IDTagWrite(file, v1, v2, useV1, t1, useV2, t2);
    for (const std::string& message : result.messages) Error(message);
    return result.messages.empty() ? kExitOk : kExitFailed;
}

}  // namespace tavrin::cli
