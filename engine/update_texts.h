#pragma once
// Texts the update shows. The ellipsis is U+2026 and the exclamation marks
// are U+FF01, as the unit's other tools write them.

inline constexpr wchar_t kNoticeText[] =
    L"Внимание: не отключайте интернет, \nпока обновление не будет завершено";
inline constexpr wchar_t kDoneButtonText[] = L"Готово";
inline constexpr wchar_t kUpdateCompleteText[] = L"Обновление завершено！";
inline constexpr wchar_t kNoDeviceText[] = L"Ошибка E16\nУстройство не подключено！";
inline constexpr wchar_t kDeviceReadyText[] = L"Прибор подключен и готов к загрузке";
inline constexpr wchar_t kDatabaseFileName[] = L"database.bin";
