// Whole updates against the simulated unit: reports sent, wall time against
// the device's own bound, the tool's CPU time per report, the peak working
// set, and the cost of the presence probe and of the Start search.
//
// Usage: orv_bench [--delays US,US,...] [--runs N] [--probes N] [--no-real]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_window.h"
#include "hid_commands.h"
#include "hid_io.h"
#include "hid_platform.h"
#include "resource.h"
#include "sim_hid_bus.h"
#include "start_command.h"
#include "transfer_buffer.h"
#include "update_regions.h"
#include "update_state.h"
#include "update_worker.h"

namespace {

constexpr std::uint32_t kDatabaseBytes = 0x200000;
constexpr std::uint32_t kDatabaseFirstPage = 10240;
constexpr std::uint32_t kAudioFirstPage = 0;
// The goals.
constexpr double kWallGoal = 1.01;
constexpr double kCpuGoalMicros = 50.0;
constexpr std::uint64_t kMemoryMarginBytes = 2u << 20;

const wchar_t kUnitPath[] = L"\\\\?\\hid#vid_0483&pid_5780#bench&0#{4d1e55b2-f16f-11cf-88cb-001111000030}";

struct Options {
    std::vector<unsigned> delays{0, 1000};
    int runs = 1;
    int probes = 2000;
    bool real = true;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--delays" && hasValue) {
            options->delays.clear();
            std::string list = argv[++i];
            for (std::size_t pos = 0; pos <= list.size();) {
                const std::size_t comma = std::min(list.find(',', pos), list.size());
                const std::string item = list.substr(pos, comma - pos);
                if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos)
                    return false;
                options->delays.push_back(static_cast<unsigned>(std::strtoul(item.c_str(), nullptr, 10)));
                pos = comma + 1;
            }
        } else if (arg == "--runs" && hasValue) {
            options->runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--probes" && hasValue) {
            options->probes = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--no-real") {
            options->real = false;
        } else {
            return false;
        }
    }
    return !options->delays.empty();
}

// ------------------------------------------------------------ measuring

double Seconds(LONGLONG ticks)
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(ticks) / static_cast<double>(frequency);
}

LONGLONG Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double FileTimeSeconds(const FILETIME& t)
{
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) * 1e-7;
}

double ThreadCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0.0;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double MiB(std::uint64_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

template <typename F>
double MeanMicros(int iterations, F&& f)
{
    const LONGLONG start = Now();
    for (int i = 0; i < iterations; ++i)
        f();
    return Seconds(Now() - start) * 1e6 / iterations;
}

// ------------------------------------------------------------ the tool's folder

// A folder of its own under the temporary folder holding a database.bin of
// the region's largest size; removed again at the end.
class ToolFolder {
public:
    ToolFolder()
    {
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        if (length == 0 || length >= MAX_PATH)
            return;
        m_dir = std::wstring(temp) + L"orv_bench_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        if (!CreateDirectoryW(m_dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            m_dir.clear();
            return;
        }
        m_image.resize(kDatabaseBytes);
        std::uint32_t x = 0x2545F491;
        for (unsigned char& byte : m_image) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            byte = static_cast<unsigned char>(x);
        }
        HANDLE file = CreateFileW(DatabasePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        const bool ok = file != INVALID_HANDLE_VALUE &&
                        WriteFile(file, m_image.data(), kDatabaseBytes, &written, nullptr) &&
                        written == kDatabaseBytes;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!ok)
            m_dir.clear();
    }
    ~ToolFolder()
    {
        if (m_dir.empty())
            return;
        DeleteFileW(DatabasePath().c_str());
        RemoveDirectoryW(m_dir.c_str());
    }
    ToolFolder(const ToolFolder&) = delete;
    ToolFolder& operator=(const ToolFolder&) = delete;

    bool ok() const { return !m_dir.empty(); }
    const std::wstring& dir() const { return m_dir; }
    std::wstring DatabasePath() const { return m_dir + L"database.bin"; }
    const std::vector<unsigned char>& image() const { return m_image; }

private:
    std::wstring m_dir;
    std::vector<unsigned char> m_image;
};

// ------------------------------------------------------------ the update's shape

DWORD ResourceSize(int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"BIN");
    return found ? SizeofResource(module, found) : 0;
}

std::uint64_t Pages(std::uint32_t size, std::uint32_t granularity)
{
    return RoundedImageSize(size, granularity) / kPageSize;
}

struct UpdateShape {
    std::uint32_t firmware = ResourceSize(IDR_BIN_FIRMWARE);
    std::uint32_t audio = ResourceSize(IDR_BIN_AUDIO);
    std::uint32_t radar = ResourceSize(IDR_BIN_RADAR);

    std::uint64_t ImageBytes() const { return std::uint64_t(firmware) + audio + radar; }

    // Command reports and four data reports a page, region by region, as the
    // worker sends them; the radar image goes out twice.
    std::uint64_t Reports() const
    {
        std::uint64_t reports = 3 + 4 * Pages(kDatabaseBytes, kUpdateRegions[0].granularity);
        if (firmware)
            reports += 2 + 4 * Pages(firmware, kUpdateRegions[1].granularity);
        if (audio)
            reports += 3 + 4 * Pages(audio, kUpdateRegions[2].granularity);
        if (radar)
            reports += 4 + 8 * Pages(radar, kUpdateRegions[3].granularity);
        return reports + 2;
    }
    std::uint32_t AudioPages() const { return static_cast<std::uint32_t>(Pages(audio, kUpdateRegions[2].granularity)); }
};

// The simulated unit keeps a copy of every page written to it. That memory
// is the device's, not the tool's: write the pages an update leaves behind
// once, straight onto the bus, before the tool's working set is measured,
// so that the update only overwrites pages the unit already holds.
void FillUnitMemory(SimHidBus& bus, std::uint32_t firstPage, std::uint32_t pages)
{
    HANDLE device = bus.CreateFileW(kUnitPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE event = bus.CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    HidReport report;
    HidBuildCommandReport(report, CMD_WRITE_PAGES, firstPage, pages);
    bus.WriteFile(device, report, HID_REPORT_SIZE, nullptr, &overlapped);
    std::memset(report, 0, sizeof report);
    for (std::uint64_t i = 0; i < std::uint64_t(pages) * 4; ++i)
        bus.WriteFile(device, report, HID_REPORT_SIZE, nullptr, &overlapped);
    bus.CloseHandle(device);
    bus.CloseHandle(event);
}

// ------------------------------------------------------------ one update

struct UpdateRun {
    unsigned delayMicros = 0;
    DWORD result = 0;
    bool clean = false;
    std::uint64_t reports = 0;
    double wall = 0.0;
    double cpu = 0.0;
};

struct WorkerJob {
    BenchWindow* window;
    DWORD result;
    double wall;
    double cpu;
};

DWORD WINAPI BenchWorker(LPVOID param)
{
    auto* job = static_cast<WorkerJob*>(param);
    const double cpuStart = ThreadCpuSeconds();
    const LONGLONG start = Now();
    job->result = RunUpdate(*job->window);
    job->wall = Seconds(Now() - start);
    job->cpu = ThreadCpuSeconds() - cpuStart;
    return 0;
}

UpdateRun RunOneUpdate(SimHidBus& bus, int unit, const ToolFolder& folder, unsigned char* buffer,
                       unsigned delayMicros)
{
    UpdateRun run;
    run.delayMicros = delayMicros;
    bus.SetDeviceDelayMicros(delayMicros);

    // What the dialog and the Start command leave for the worker.
    g_pImage = buffer;
    g_deviceIndex = 1;
    g_nStage = STAGE_NONE;
    g_nPhase = PHASE_NONE;
    g_nProgress = 1;

    BenchWindow window(folder.dir());
    WorkerJob job{&window, 0, 0.0, 0.0};
    const std::uint64_t before = bus.ReportsTaken(unit);
    HANDLE thread = CreateThread(nullptr, 0, BenchWorker, &job, 0, nullptr);
    if (thread == nullptr)
        return run;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    run.result = job.result;
    run.wall = job.wall;
    run.cpu = job.cpu;
    run.reports = bus.ReportsTaken(unit) - before;
    run.clean = job.result == 1 && window.done && !window.failed && bus.PendingDataReports(unit) == 0 &&
                bus.ProtocolViolations().empty() && bus.Misuse().empty() && bus.OpenHandles() == 0;
    return run;
}

// ------------------------------------------------------------ probe and Start

class BenchStartHost final : public StartHost {
public:
    int UpdateDoneFlag() override { return 0; }
    void Cancel() override {}
    void ShowMessage(const wchar_t*) override {}
    void StartTimer(UINT_PTR, UINT) override {}
    // No worker: only the search is measured.
    WorkerWindow* NewWorkerWindow() override { return nullptr; }
};

struct SearchCost {
    double probeMicros;
    double startMicros;
    bool found;
};

SearchCost MeasureSearch(int iterations)
{
    BenchStartHost host;
    SearchCost cost{};
    cost.found = HidIsDevicePresent(1) == 1;
    cost.probeMicros = MeanMicros(iterations, [] { HidIsDevicePresent(1); });
    cost.startMicros = MeanMicros(iterations, [&host] {
        g_deviceIndex = 0;
        OnStartPressed(host);
    });
    g_deviceIndex = 0;
    return cost;
}

// The unit comes last, behind interfaces of another vendor, so that both
// searches walk the whole bus: the cost grows with what is plugged in.
SearchCost MeasureSimulatedSearch(int interfaces, int iterations)
{
    SimHidBus bus;
    bus.SetRecording(false);
    for (int i = 1; i < interfaces; ++i) {
        SimDeviceConfig other;
        other.vendorId = 0x845e;
        other.productId = static_cast<std::uint16_t>(i);
        bus.AddDevice(other);
    }
    if (interfaces > 0)
        bus.AddDevice(SimDeviceConfig());
    return MeasureSearch(iterations);
}

int CountRealHidInterfaces()
{
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    HDEVINFO set = SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, count, &data))
        ++count;
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

const char* Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: orv_bench [--delays US,US,...] [--runs N] [--probes N] [--no-real]\n");
        return 2;
    }
    const PROCESS_MEMORY_COUNTERS atStart = Memory();

    ToolFolder folder;
    if (!folder.ok()) {
        std::fprintf(stderr, "orv_bench: cannot write database.bin under the temporary folder\n");
        return 1;
    }
    const UpdateShape shape;
    const std::uint64_t expectedReports = shape.Reports();
    std::printf("ORV_update benchmark: whole updates against the simulated unit\n");
    std::printf("images: database.bin %u B, main program %u B, voice messages %u B, radar %u B; %llu reports an update\n",
                kDatabaseBytes, shape.firmware, shape.audio, shape.radar,
                static_cast<unsigned long long>(expectedReports));

    bool allClean = true;
    std::vector<UpdateRun> runs;
    PROCESS_MEMORY_COUNTERS beforeTool{};
    PROCESS_MEMORY_COUNTERS afterFirstUpdate{};
    bool databaseIntact = false;
    {
        SimHidBus bus;
        bus.SetRecording(false);
        SimDeviceConfig unitConfig;
        unitConfig.path = kUnitPath;
        const int unit = bus.AddDevice(unitConfig);
        FillUnitMemory(bus, kDatabaseFirstPage, kDatabaseBytes / kPageSize);
        FillUnitMemory(bus, kAudioFirstPage, shape.AudioPages());

        beforeTool = Memory();
        unsigned char* buffer = AllocateTransferBuffer();
        if (buffer == nullptr) {
            std::fprintf(stderr, "orv_bench: no transfer buffer\n");
            return 1;
        }
        for (unsigned delay : options.delays) {
            for (int i = 0; i < options.runs; ++i) {
                UpdateRun run = RunOneUpdate(bus, unit, folder, buffer, delay);
                run.clean = run.clean && run.reports == expectedReports;
                allClean = allClean && run.clean;
                runs.push_back(run);
                // The tool runs one update a process: its peak is the first update's.
                if (runs.size() == 1)
                    afterFirstUpdate = Memory();
            }
        }
        databaseIntact = bus.Flash(unit, kDatabaseFirstPage, kDatabaseBytes / kPageSize) == folder.image();
        allClean = allClean && databaseIntact;
    }

    std::printf("\nupdates (d: the unit's time per report before it signals the write):\n");
    for (const UpdateRun& run : runs) {
        std::printf("  d = %4u us: %s, %llu reports, wall %.3f s", run.delayMicros,
                    run.clean ? "complete" : "FAILED", static_cast<unsigned long long>(run.reports), run.wall);
        if (run.delayMicros > 0) {
            const double bound = static_cast<double>(run.reports) * run.delayMicros * 1e-6;
            const double ratio = run.wall / bound;
            const double overMicros = (run.wall - bound) * 1e6 / static_cast<double>(run.reports);
            std::printf(" = %.4f x device bound %.3f s (goal <= %.2f: %s), %.2f us a report over d", ratio,
                        bound, kWallGoal, Verdict(ratio <= kWallGoal), overMicros);
            // The simulated unit spends d spinning on the worker's thread, so
            // the worker never waits of its own accord: time off the processor
            // is time the machine gave to other work.
            std::printf("\n               worker on the processor %.3f s, off it %.3f s", run.cpu,
                        std::max(0.0, run.wall - run.cpu));
        } else {
            const double perReport = run.reports ? run.cpu * 1e6 / static_cast<double>(run.reports) : 0.0;
            std::printf(", worker CPU %.3f s = %.2f us a report (goal <= %.0f: %s)", run.cpu, perReport,
                        kCpuGoalMicros, Verdict(perReport <= kCpuGoalMicros));
        }
        std::printf("\n");
    }
    if (!databaseIntact)
        std::printf("  the unit's database pages differ from database.bin\n");

    const std::uint64_t growth = afterFirstUpdate.PeakWorkingSetSize > beforeTool.WorkingSetSize
                                     ? afterFirstUpdate.PeakWorkingSetSize - beforeTool.WorkingSetSize
                                     : 0;
    const std::uint64_t memoryGoal = kTransferBufferSize + shape.ImageBytes() + kMemoryMarginBytes;
    std::printf("\nworking set: %.2f MiB at start, %.2f MiB once the simulated unit held its pages,\n"
                "  peak %.2f MiB by the end of the first update\n",
                MiB(atStart.WorkingSetSize), MiB(beforeTool.WorkingSetSize), MiB(afterFirstUpdate.PeakWorkingSetSize));
    std::printf("  the tool's peak: %.2f MiB above the unit's (goal <= 4 MiB buffer + %.2f MiB images + 2 MiB = %.2f MiB: %s)\n",
                MiB(growth), MiB(shape.ImageBytes()), MiB(memoryGoal), Verdict(growth <= memoryGoal));

    std::printf("\npresence probe and Start search (mean of %d each; the unit last on the bus):\n", options.probes);
    for (int interfaces : {0, 2, 20}) {
        const SearchCost cost = MeasureSimulatedSearch(interfaces, options.probes);
        std::printf("  %2d simulated HID interfaces: probe %8.2f us, Start search %8.2f us%s\n", interfaces,
                    cost.probeMicros, cost.startMicros, cost.found || interfaces == 0 ? "" : " (unit NOT found)");
        allClean = allClean && (cost.found || interfaces == 0);
    }
    if (options.real) {
        const int iterations = std::max(1, options.probes / 100);
        const SearchCost cost = MeasureSearch(iterations);
        std::printf("  wine's own HID stack, %d interfaces, no unit: probe %.0f us, Start search %.0f us (mean of %d)\n",
                    CountRealHidInterfaces(), cost.probeMicros, cost.startMicros, iterations);
        const int traces = 20000;
        const double traceMicros = MeanMicros(traces, [] { OutputDebugStringW(L"write ok\r\n"); });
        std::printf("  the platform's OutputDebugStringW under wine, once a report: %.2f us a call\n", traceMicros);
    }
    std::fflush(stdout);
    return allClean ? 0 : 1;
}
