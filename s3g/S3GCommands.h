// The S3G command and query codes this system sends, their sub-codes and flags, and the widths of their fields.
#pragma once

namespace zelk::s3g {

// Field widths, as PackageData types: how many bytes a value takes in a frame.
inline constexpr int kField8 = 1;   // one byte
inline constexpr int kField16 = 2;  // two bytes, little-endian
inline constexpr int kField32 = 3;  // four bytes, little-endian

// Queries: answered at once, never buffered by the printer.
inline constexpr int kQueryVersion = 0;            // host version (16); answer: firmware version (16)
inline constexpr int kQueryBufferFree = 2;         // no fields; answer: free bytes (32)
inline constexpr int kQueryPause = 8;              // no fields; pauses a running build, or resumes a paused one
inline constexpr int kQueryTool = 10;              // tool (8), tool query (8)
inline constexpr int kQueryIsFinished = 11;        // no fields
inline constexpr int kQueryExtendedPosition = 21;  // no fields
inline constexpr int kQueryExtendedStop = 22;      // flags (8)

// Tool queries (second field of kQueryTool).
inline constexpr int kToolQueryExtruderTemperature = 2;
inline constexpr int kToolQueryPlatformTemperature = 30;

// Extended stop flags.
inline constexpr int kStopSteppers = 0x01;  // halt the motion in progress
inline constexpr int kStopBuffer = 0x02;    // drop every command still queued
inline constexpr int kStopSteppersAndBuffer = kStopSteppers | kStopBuffer;

// The host version this program reports with kQueryVersion.
inline constexpr int kHostVersion = 40;

// Buffered commands.
inline constexpr int kCmdFindAxesMinimum = 131;  // axis mask (8), step interval us (32), timeout s (16)
inline constexpr int kCmdFindAxesMaximum = 132;  // axis mask (8), step interval us (32), timeout s (16)
inline constexpr int kCmdChangeTool = 134;       // tool (8)
inline constexpr int kCmdWaitForTool = 135;      // tool (8), poll ms (16), timeout s (16)
inline constexpr int kCmdToolAction = 136;       // tool (8), action (8), payload length (8), payload
inline constexpr int kCmdEnableAxes = 137;       // axis bits 0-4, bit 7 enables (8)
inline constexpr int kCmdSetExtendedPosition = 140;  // X, Y, Z, A, B steps (32 each)
// X, Y, Z, A, B steps (32 each), duration us (32), relative-axes mask (8).
inline constexpr int kCmdQueueRelativePoint = 142;
inline constexpr int kCmdSetBuildPercentage = 150;  // percent (8), reserved (8)
// X, Y, Z, A, B steps (32 each), DDA rate (32), relative-axes mask (8),
// distance mm (float, 32), feedrate in mm/s x 64 (16).
inline constexpr int kCmdQueueAcceleratedPoint = 155;

// Tool actions (second field of kCmdToolAction).
inline constexpr int kToolSetTemperature = 3;           // degrees C (16)
inline constexpr int kToolSetPlatformTemperature = 31;  // degrees C (16)
inline constexpr int kToolEnableMotor = 10;             // motor state (8)

// Axis masks (enable, homing, relative axes).
inline constexpr int kAxisX = 0x01;
inline constexpr int kAxisY = 0x02;
inline constexpr int kAxisZ = 0x04;
inline constexpr int kAxisA = 0x08;
inline constexpr int kAxisB = 0x10;
inline constexpr int kAllAxes = kAxisX | kAxisY | kAxisZ | kAxisA | kAxisB;
inline constexpr int kEnableAxesBit = 0x80;

// The byte the reserved field of kCmdSetBuildPercentage carries.
inline constexpr int kPercentReserved = 0xFF;

// The only tool this printer has.
inline constexpr int kTool0 = 0;

}  // namespace zelk::s3g
