#include "tools/record/frame_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/record/png_writer.h"

extern char** environ;

namespace {

constexpr size_t kFramePixels = size_t(kScreenWidth) * kScreenHeight;

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Reason() { return std::strerror(errno); }

// A fresh name "<stem>.tmp-PID-N<ext>" made by `create`, which returns false
// with errno EEXIST when the name is taken. Returns the name, or "". Made
// by hand rather than with mkstemp so the result gets the usual permissions.
template <typename Create>
std::string MakeTempName(const std::string& stem, const std::string& ext, Create create) {
    for (int n = 0; n < 100; ++n) {
        const std::string name = stem + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(n) + ext;
        if (create(name)) return name;
        if (errno != EEXIST) return "";
    }
    return "";
}

std::string MakeTempFile(const std::string& stem, const std::string& ext) {
    return MakeTempName(stem, ext, [](const std::string& name) {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        close(fd);
        return true;
    });
}

// A temporary file beside `path` with the same extension.
std::string MakeTempFileBeside(const std::string& path) {
    const std::string ext = PathExtension(path);
    return MakeTempFile(path.substr(0, path.size() - ext.size()), ext);
}

// Writes a PNG to `path`; errors name `shownName`, the name the user asked for.
bool WritePngFile(const std::string& path, const std::string& shownName, const uint8_t* rgb, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write '" + shownName + "': " + Reason();
        return false;
    }
    errno = 0;
    const bool ok = WritePng(file, rgb, kScreenWidth, kScreenHeight);
    const int reason = errno;
    const bool closed = std::fclose(file) == 0;
    if (!ok || !closed) {
        const int why = !ok ? reason : errno;
        error = "cannot write '" + shownName + "': " + (why != 0 ? std::strerror(why) : "write failed (disk full?)");
        return false;
    }
    return true;
}

// Makes sure `path` can grow to `bytes`, then empties it again: a full disk
// or a file size limit is found before any encoding.
bool HasRoomFor(const std::string& path, off_t bytes, int& reason) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = errno;
        return false;
    }
    reason = posix_fallocate(fd, 0, bytes);
    if (reason == EOPNOTSUPP || reason == EINVAL) reason = 0;  // cannot tell; ffmpeg will
    const bool emptied = ftruncate(fd, 0) == 0;
    if (reason == 0 && !emptied) reason = errno;
    close(fd);
    return reason == 0;
}

// Reads what ffmpeg has written to its standard error, keeping the first
// 4 KB. With `untilEnd`, reads until ffmpeg closes it (as it exits).
void ReadEncoderMessages(FrameOutput& output, bool untilEnd) {
    if (output.encoderErrors < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(output.encoderErrors, buffer, sizeof buffer);
        if (n > 0) {
            const size_t room = output.encoderMessage.size() < 4096 ? 4096 - output.encoderMessage.size() : 0;
            output.encoderMessage.append(buffer, std::min(size_t(n), room));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && untilEnd) {
            pollfd wait = {output.encoderErrors, POLLIN, 0};
            poll(&wait, 1, -1);
            continue;
        }
        return;  // closed, or nothing more for now
    }
}

// ffmpeg's first message as one line, with the temporary name it was given
// replaced by the name asked for.
std::string EncoderFailure(const FrameOutput& output) {
    std::string line = output.encoderMessage.substr(0, output.encoderMessage.find('\n'));
    for (size_t at = 0; !output.tempPath.empty() && (at = line.find(output.tempPath, at)) != std::string::npos;) {
        line.replace(at, output.tempPath.size(), output.path);
        at += output.path.size();
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.size() > 300) line = line.substr(0, 300) + "...";
    return "cannot write '" + output.path + "': ffmpeg: " + line;
}

std::string FrameName(uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06u.png", number);
    return name;
}

bool SendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Closes the encoder's input, collects its last messages and waits for it;
// its exit status, or -1.
int StopEncoder(FrameOutput& output) {
    if (output.encoderInput >= 0) close(output.encoderInput);
    output.encoderInput = -1;
    ReadEncoderMessages(output, true);
    if (output.encoderErrors >= 0) close(output.encoderErrors);
    output.encoderErrors = -1;
    if (output.encoder < 0) return -1;
    int status = 0;
    while (waitpid(output.encoder, &status, 0) < 0 && errno == EINTR) {
    }
    output.encoder = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The codec arguments for each container, tuned for mostly-black frames.
std::vector<std::string> CodecArguments(const std::string& ext) {
    if (ext == ".mp4") return {"-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p",
                               "-movflags", "+faststart"};
    if (ext == ".webm") return {"-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0", "-row-mt", "1", "-pix_fmt",
                                "yuv420p"};
    return {"-vf", "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=3",
            "-loop", "0"};
}

bool StartEncoder(FrameOutput& output, const std::string& ffmpeg, uint32_t every, std::string& error) {
    int ends[2], errors[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = "cannot start ffmpeg: " + Reason();
        return false;
    }
    if (pipe2(errors, O_CLOEXEC) != 0) {
        error = "cannot start ffmpeg: " + Reason();
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    fcntl(errors[0], F_SETFL, O_NONBLOCK);
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats", "-nostdin",
                                     "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", "1024x768",
                                     "-framerate", VideoFrameRate(every), "-i", "pipe:0"};
    for (std::string& a : CodecArguments(PathExtension(output.path))) args.push_back(std::move(a));
    args.push_back(output.tempPath);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    const int failed = posix_spawn(&output.encoder, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    close(errors[1]);
    output.encoderErrors = errors[0];
    if (failed != 0) {
        close(ends[0]);
        output.encoder = -1;
        error = "cannot start '" + ffmpeg + "': " + std::strerror(failed);
        return false;
    }
    output.encoderInput = ends[0];
    return true;
}

}  // namespace

void PixelsToRgb(const uint32_t* pixels, size_t count, uint8_t* rgb) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        rgb[3 * i] = uint8_t(p >> 16);
        rgb[3 * i + 1] = uint8_t(p >> 8);
        rgb[3 * i + 2] = uint8_t(p);
    }
}

std::string VideoFrameRate(uint32_t every) { return "1000/" + std::to_string(21ull * every); }

std::string FindProgram(const std::string& name, const std::string& searchPath) {
    size_t start = 0;
    for (;;) {
        const size_t colon = searchPath.find(':', start);
        std::string dir = searchPath.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos) return "";
        start = colon + 1;
    }
}

bool OpenFrameOutput(FrameOutput& output, const RecordOptions& options, std::string& error) {
    output = FrameOutput{};
    output.kind = options.kind;
    output.path = options.kind == OutputKind::FrameFolder ? WithoutTrailingSlashes(options.out) : options.out;
    output.rgb.resize(kFramePixels * 3);
    switch (options.kind) {
    case OutputKind::None:
        return true;
    case OutputKind::FrameFolder: {
        struct stat st;
        if (stat(output.path.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                error = "'" + output.path + "' exists and is not a folder";
                return false;
            }
            // Each frame is written under one temporary name, then renamed.
            output.intoExistingFolder = true;
            output.tempPath = MakeTempFile(output.path + "/.frame", ".png");
        } else {
            // A new folder is filled under a temporary name and renamed whole.
            output.tempPath = MakeTempName(output.path, "", [](const std::string& name) {
                return mkdir(name.c_str(), 0777) == 0;
            });
        }
        if (output.tempPath.empty()) {
            error = "cannot write into '" + output.path + "': " + Reason();
            return false;
        }
        return true;
    }
    case OutputKind::SinglePng:
        output.tempPath = MakeTempFileBeside(output.path);
        if (output.tempPath.empty()) {
            error = "cannot write '" + output.path + "': " + Reason();
            return false;
        }
        return true;
    case OutputKind::Video: {
        const char* searchPath = std::getenv("PATH");
        const std::string ffmpeg = FindProgram("ffmpeg", searchPath ? searchPath : "/usr/bin:/bin");
        if (ffmpeg.empty()) {
            error = "writing '" + output.path +
                    "' needs ffmpeg, which is not installed (Debian package: ffmpeg; apt-get install ffmpeg)";
            return false;
        }
        output.tempPath = MakeTempFileBeside(output.path);
        if (output.tempPath.empty()) {
            error = "cannot write '" + output.path + "': " + Reason();
            return false;
        }
        // ffmpeg would find a full disk only after encoding for a while (a
        // GIF is written at the very end): check for room first.
        if (int reason = 0; !HasRoomFor(output.tempPath, off_t(1) << 20, reason)) {
            error = "cannot write '" + output.path + "': " + std::strerror(reason);
            AbandonFrameOutput(output);
            return false;
        }
        if (!StartEncoder(output, ffmpeg, options.every, error)) {
            AbandonFrameOutput(output);
            return false;
        }
        return true;
    }
    }
    return true;
}

bool WriteFrame(FrameOutput& output, const uint32_t* pixels, std::string& error) {
    switch (output.kind) {
    case OutputKind::None:
        break;
    case OutputKind::SinglePng:
        output.lastFrame.assign(pixels, pixels + kFramePixels);
        break;
    case OutputKind::FrameFolder: {
        PixelsToRgb(pixels, kFramePixels, output.rgb.data());
        const std::string name = FrameName(output.framesWritten + 1);
        const std::string final = output.path + "/" + name;
        if (!output.intoExistingFolder) {
            if (!WritePngFile(output.tempPath + "/" + name, final, output.rgb.data(), error)) return false;
            break;
        }
        if (!WritePngFile(output.tempPath, final, output.rgb.data(), error)) return false;
        if (std::rename(output.tempPath.c_str(), final.c_str()) != 0) {
            error = "cannot write '" + final + "': " + Reason();
            return false;
        }
        output.finished.push_back(final);
        break;
    }
    case OutputKind::Video:
        PixelsToRgb(pixels, kFramePixels, output.rgb.data());
        if (!SendAll(output.encoderInput, output.rgb.data(), output.rgb.size())) {
            StopEncoder(output);
            error = output.encoderMessage.empty() ? "ffmpeg stopped taking frames for '" + output.path + "'"
                                                  : EncoderFailure(output);
            return false;
        }
        // Its first error (a full disk, say) ends the recording now.
        ReadEncoderMessages(output, false);
        if (!output.encoderMessage.empty()) {
            error = EncoderFailure(output);
            return false;
        }
        break;
    }
    ++output.framesWritten;
    return true;
}

bool FinishFrameOutput(FrameOutput& output, std::string& error) {
    switch (output.kind) {
    case OutputKind::None:
        return true;
    case OutputKind::SinglePng:
        if (output.lastFrame.empty()) {
            error = "no frame was shown, so '" + output.path + "' was not written";
            AbandonFrameOutput(output);
            return false;
        }
        PixelsToRgb(output.lastFrame.data(), kFramePixels, output.rgb.data());
        if (!WritePngFile(output.tempPath, output.path, output.rgb.data(), error)) {
            AbandonFrameOutput(output);
            return false;
        }
        break;
    case OutputKind::FrameFolder:
        if (output.intoExistingFolder) {
            // The temporary name is free again after each rename.
            unlink(output.tempPath.c_str());
            output.tempPath.clear();
            output.finished.clear();
            return true;
        }
        break;
    case OutputKind::Video:
        if (const int status = StopEncoder(output); status != 0 || !output.encoderMessage.empty()) {
            error = !output.encoderMessage.empty() ? EncoderFailure(output)
                                                   : "ffmpeg failed to write '" + output.path + "' (exit status " +
                                                         std::to_string(status) + ")";
            AbandonFrameOutput(output);
            return false;
        }
        break;
    }
    if (std::rename(output.tempPath.c_str(), output.path.c_str()) != 0) {
        error = "cannot move the finished output to '" + output.path + "': " + Reason();
        AbandonFrameOutput(output);
        return false;
    }
    output.tempPath.clear();
    return true;
}

void AbandonFrameOutput(FrameOutput& output) {
    // What it would still encode is thrown away.
    if (output.encoder > 0) kill(output.encoder, SIGTERM);
    StopEncoder(output);
    for (const std::string& name : output.finished) unlink(name.c_str());
    output.finished.clear();
    if (output.tempPath.empty()) return;
    if (output.kind == OutputKind::FrameFolder && !output.intoExistingFolder) {
        for (uint32_t n = 1; n <= output.framesWritten + 1; ++n) unlink((output.tempPath + "/" + FrameName(n)).c_str());
        rmdir(output.tempPath.c_str());
    } else {
        unlink(output.tempPath.c_str());
    }
    output.tempPath.clear();
}
