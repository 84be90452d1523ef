#pragma once
// The unit bootloader's command side: output reports, command frames and the
// transactions that send one command each.
#include <cstddef>
#include <cstdint>

#include "hid_io.h"

// One HID output report: byte 0 the report id, bytes 1 to 64 the payload.
using HidReport = unsigned char[HID_REPORT_SIZE];

#pragma pack(push, 1)
// The 18 bytes at the start of a command report's payload; all fields little-endian.
struct HidCommandFrame {
    std::uint16_t command;
    std::uint32_t param1;
    std::uint32_t param2;
    unsigned char signature[4];  // "HIDC"
    std::uint32_t checksum;      // sum of bytes 0-13 taken as unsigned bytes
};
#pragma pack(pop)
static_assert(sizeof(HidCommandFrame) == 18, "command frame is 18 bytes on the wire");
static_assert(offsetof(HidCommandFrame, signature) == 10, "signature follows the arguments");
static_assert(offsetof(HidCommandFrame, checksum) == 14, "checksum closes the frame");

enum : std::uint16_t {
    CMD_ERASE_SECTORS = 0x0E71,  // first sector, sector count
    CMD_WRITE_PAGES = 0x0EE3,    // first page, page count; four data reports per page follow
    CMD_TEST = 0x0EB8,           // 0x12345678, target 1 or 2
    CMD_RADAR_PASS1 = 0x0E26,    // 0x12345678, 0xABCDEF01
    CMD_RADAR_PASS2 = 0x0E35,    // 0x12345678, 0xABCDEF01
    CMD_FINISH = 0x0E58,         // 0x12345678, 0xABCDEF01
};

// The protocol's two fixed arguments.
constexpr std::uint32_t HID_CMD_KEY = 0x12345678;
constexpr std::uint32_t HID_CMD_KEY2 = 0xABCDEF01;
// Every byte of a command report after its frame.
constexpr unsigned char HID_CMD_FILL = 0xCC;

// Fills all 65 bytes of report as a command report.
void HidBuildCommandReport(unsigned char* report, std::uint16_t command, std::uint32_t param1,
                           std::uint32_t param2);

// sectorCount when the erase command was written, else 0.
std::uint32_t HidEraseSectors(std::uint32_t firstSector, std::uint32_t sectorCount);
// These four return 0 on every path; their trace lines tell what happened.
int HidSendTestCommand(std::uint32_t target);
int HidSendRadarPass1Command();
int HidSendRadarPass2Command();
int HidSendFinishCommand();

// The product id that g_deviceIndex selects; false when the index names no entry.
bool HidSelectedProductId(std::uint16_t* productId);
// Prints the line that says which device a transaction opened.
void HidTraceOpenSuccess(std::uint16_t productId);
