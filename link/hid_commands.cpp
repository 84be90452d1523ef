#include "hid_commands.h"

#include <cstdio>
#include <cstring>

#include "hid_platform.h"
#include "update_state.h"

namespace {

void PutLittleEndian16(unsigned char* out, std::uint16_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

void PutLittleEndian32(unsigned char* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Test, radar and finish commands: one fixed-argument report, traced on
// standard output. The radar and finish commands share the test command's lines.
int SendKeyedCommand(std::uint16_t command, std::uint32_t param2)
{
    HidPlatform& platform = HidGetPlatform();
    CHidCmd cmd;
    std::uint16_t productId = 0;
    if (!HidSelectedProductId(&productId) || !cmd.m_hid.OpenDevice(productId)) {
        platform.StdOutLine("Can't Open HID Device\n");
        return 0;
    }
    HidTraceOpenSuccess(productId);
    platform.StdOutLine(">>> Test command\n");
    HidBuildCommandReport(cmd.m_report, command, HID_CMD_KEY, param2);
    if (!cmd.m_hid.WriteReport(cmd.m_report, nullptr))
        platform.StdOutLine("ERROR: Send test command error!\n");
    cmd.m_hid.CloseDevice();
    return 0;
}

} // namespace

bool HidSelectedProductId(std::uint16_t* productId)
{
    const std::int32_t index = g_deviceIndex.load();
    if (index < 0 || index >= static_cast<std::int32_t>(sizeof g_productIds / sizeof g_productIds[0]))
        return false;
    *productId = g_productIds[index];
    return true;
}

void HidTraceOpenSuccess(std::uint16_t productId)
{
    char line[80];
    std::snprintf(line, sizeof line, "USB HID Device VID[%04x] PID[%04x] Open Success.\n",
                  static_cast<unsigned>(HID_VENDOR_ID), static_cast<unsigned>(productId));
    HidGetPlatform().StdOutLine(line);
}

void HidBuildCommandReport(unsigned char* report, std::uint16_t command, std::uint32_t param1,
                           std::uint32_t param2)
{
    unsigned char frame[sizeof(HidCommandFrame)];
    PutLittleEndian16(frame + offsetof(HidCommandFrame, command), command);
    PutLittleEndian32(frame + offsetof(HidCommandFrame, param1), param1);
    PutLittleEndian32(frame + offsetof(HidCommandFrame, param2), param2);
    std::memcpy(frame + offsetof(HidCommandFrame, signature), "HIDC", 4);

    std::uint32_t checksum = 0;
    for (std::size_t i = 0; i < offsetof(HidCommandFrame, checksum); ++i)
        checksum += frame[i];
    PutLittleEndian32(frame + offsetof(HidCommandFrame, checksum), checksum);

    std::memset(report, HID_CMD_FILL, HID_REPORT_SIZE);
    report[0] = 0;
    std::memcpy(report + 1, frame, sizeof frame);
}

std::uint32_t HidEraseSectors(std::uint32_t firstSector, std::uint32_t sectorCount)
{
    HidPlatform& platform = HidGetPlatform();
    CHidCmd cmd;
    std::uint16_t productId = 0;
    if (!HidSelectedProductId(&productId) || !cmd.m_hid.OpenDevice(productId)) {
        platform.OutputDebugStringW(L"Can't Open HID Device\n");
        return 0;
    }
    platform.OutputDebugStringW(L"Erase sectors\n");
    HidBuildCommandReport(cmd.m_report, CMD_ERASE_SECTORS, firstSector, sectorCount);
    std::uint32_t result = sectorCount;
    if (!cmd.m_hid.WriteReport(cmd.m_report, nullptr)) {
        platform.OutputDebugStringW(L"ERROR: Send erase command error!\n");
        result = 0;
    }
    cmd.m_hid.CloseDevice();
    return result;
}

int HidSendTestCommand(std::uint32_t target)
{
    return SendKeyedCommand(CMD_TEST, target);
}

int HidSendRadarPass1Command()
{
    return SendKeyedCommand(CMD_RADAR_PASS1, HID_CMD_KEY2);
}

int HidSendRadarPass2Command()
{
    return SendKeyedCommand(CMD_RADAR_PASS2, HID_CMD_KEY2);
}

int HidSendFinishCommand()
{
    return SendKeyedCommand(CMD_FINISH, HID_CMD_KEY2);
}
