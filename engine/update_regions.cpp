#include "update_regions.h"

#include "resource.h"

const UpdateRegion kUpdateRegions[4] = {
    {RegionKind::Database, 0, IDC_LABEL_DATABASE, IDC_PROGRESS_DATABASE,
     L"Идёт обновление базы данных…", L"База данных успешно обновлена",
     256, 0x200000, L"data error！"},
    {RegionKind::Firmware, IDR_BIN_FIRMWARE, IDC_LABEL_FIRMWARE, IDC_PROGRESS_FIRMWARE,
     L"Идёт обновление прошивки…", L"Прошивка успешно обновлена",
     2048, 204800, L"prog error！"},
    {RegionKind::Audio, IDR_BIN_AUDIO, IDC_LABEL_AUDIO, IDC_PROGRESS_AUDIO,
     L"Идёт обновление звуковых сообщений…", L"Звуковые сообщения успешно обновлены",
     256, 0x280000, L"Audio error！"},
    {RegionKind::Radar, IDR_BIN_RADAR, IDC_LABEL_RADAR, IDC_PROGRESS_RADAR,
     L"Идёт обновление прошивки радарной части…", L"Прошивка радарной части успешно обновлена",
     1024, 0, nullptr},
};

std::uint64_t RoundedImageSize(std::uint32_t size, std::uint32_t granularity)
{
    const std::uint64_t mask = granularity - 1;
    return (static_cast<std::uint64_t>(size) + mask) & ~mask;
}
