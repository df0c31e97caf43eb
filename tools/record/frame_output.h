// Where recorded frames go: a folder of numbered PNGs, one PNG of the last
// frame, or a video encoded by ffmpeg. Everything is written under temporary
// names next to the final one and renamed only when the whole output is
// complete; an abandoned output leaves nothing behind.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/record/record_options.h"

struct FrameOutput {
    OutputKind kind = OutputKind::None;
    std::string path;      // the final name
    std::string tempPath;  // file or folder being written
    bool intoExistingFolder = false;
    uint32_t framesWritten = 0;
    std::vector<std::string> finished;  // frames renamed into an existing folder
    std::vector<uint32_t> lastFrame;    // SinglePng: the newest frame
    std::vector<uint8_t> rgb;           // conversion buffer, 3 bytes a pixel
    // Video: the encoder, our ends of its standard input and standard
    // error, and the start of what it has said (at -loglevel error, only
    // errors; the first one ends the recording).
    pid_t encoder = -1;
    int encoderInput = -1;
    int encoderErrors = -1;
    std::string encoderMessage;
};

// The frame rate of a video that keeps every `every`-th frame of frames
// 21 ms apart, as ffmpeg's rational "1000/21".
std::string VideoFrameRate(uint32_t every);

// The full path of an executable found on `searchPath` (colon-separated),
// or "" when there is none.
std::string FindProgram(const std::string& name, const std::string& searchPath);

// Creates the temporary file or folder (so an unwritable place fails before
// anything runs) and, for a video, checks that its place has room for the
// first megabyte and starts ffmpeg. False with a one-line `error` otherwise;
// nothing is left behind then. Every error names the path asked for.
bool OpenFrameOutput(FrameOutput& output, const RecordOptions& options, std::string& error);

// Adds one 1024 x 768 frame of 0x00RRGGBB pixels.
bool WriteFrame(FrameOutput& output, const uint32_t* pixels, std::string& error);

// Completes the output and moves it to its final name. On failure the
// output has been abandoned.
bool FinishFrameOutput(FrameOutput& output, std::string& error);

// Removes everything this output wrote and stops its encoder.
void AbandonFrameOutput(FrameOutput& output);

// Packs 0x00RRGGBB pixels into R, G, B bytes.
void PixelsToRgb(const uint32_t* pixels, size_t count, uint8_t* rgb);
