#pragma once

// Every text the operator can see, in one place, so that the window, the command line and the
// tests agree on each letter. UTF-8.

namespace korvel::text {

// Image summary field.
inline constexpr char kSummaryPending[] = "???";
inline constexpr char kSummaryCannotOpen[] = "Не удалось открыть файл";
inline constexpr char kFormatError[] = "Ошибка формата файла";
// After a name too long to show whole.
inline constexpr char kNameCut[] = "…";

// Information box.
inline constexpr char kCommError[] = "Ошибка связи";
inline constexpr char kNoAnswer[] = "Нет ответа от устройства";
inline constexpr char kDeviceError[] = "Устройство вернуло ошибку";
inline constexpr char kCredentialsTooLong[] = "Логин и пароль вместе длиннее 30 символов";
inline constexpr char kCredentialsBadCharacter[] = "Недопустимый символ в логине или пароле";
inline constexpr char kNoIcmpAccess[] = "Нет доступа к ICMP";
// What to do about it on Linux.
inline constexpr char kNoIcmpAccessFix[] =
    "Разрешите ping-сокеты для группы пользователя (sysctl net.ipv4.ping_group_range) "
    "или дайте программе cap_net_raw";

// Programming run message boxes.
inline constexpr char kOpenFailed[] = "Ошибка открытия файла";
inline constexpr char kReadFailed[] = "Ошибка чтения файла";
inline constexpr char kSubordinateViaBoot[] = "Нельзя шить подчинённое устройство через бут";
inline constexpr char kUnsupportedPacketType[] = "Неподдерживаемый тип пакета";
inline constexpr char kRestoreFailed[] = "Ошибка восстановления адреса";
inline constexpr char kRecordTooLong[] = "Слишком длинная запись в файле";
inline constexpr char kRecordExceedsPacket[] = "Запись не помещается в пакет сети";
inline constexpr char kFileChanged[] = "Файл изменился во время прошивки";
inline constexpr char kAnotherCopyRunning[] = "С устройством уже работает другая копия Korvel";

// Window.
inline constexpr char kAppName[] = "Korvel";
inline constexpr char kVersion[] = "1.0.0.12";
inline constexpr char kTitleVersionPrefix[] = " в";
inline constexpr char kAboutItem[] = "&About Korvel...";
inline constexpr char kSocketsFailed[] = "Windows sockets initialization failed.";
inline constexpr char kProgramButton[] = "Прошить";
inline constexpr char kBrowseButton[] = "Файл";
inline constexpr char kInfoButton[] = "Инфо";
inline constexpr char kHelpButton[] = "Справка";
inline constexpr char kExitButton[] = "Выход";
inline constexpr char kViaBootBox[] = "Через загрузчик";
inline constexpr char kIpLabel[] = "IP-адрес";
inline constexpr char kCredentialsLabel[] = "Логин/пароль";
inline constexpr char kSummaryTemplate[] = "Static";
inline constexpr char kHelpTitle[] = "Справка";
inline constexpr char kFilterImages[] = "Файлы прошивок *.qlxfw";
inline constexpr char kFilterImagesPattern[] = "*.qlxfw";
inline constexpr char kFilterAll[] = "Все файлы *.*";
inline constexpr char kFilterAllPattern[] = "*.*";

// Names that screen readers and UI automation give the controls without a text of their own.
inline constexpr char kIpFieldName[] = "IP-адрес устройства";
inline constexpr char kIpOctetNamePrefix[] = "IP-адрес, байт ";
inline constexpr char kProgressName[] = "Ход операции";
inline constexpr char kPathFieldName[] = "Путь к файлу прошивки";
inline constexpr char kSummaryFieldName[] = "Сведения о файле прошивки";
inline constexpr char kInfoBoxName[] = "Сведения об устройстве";
inline constexpr char kLoginFieldName[] = "Логин";
inline constexpr char kPasswordFieldName[] = "Пароль";
inline constexpr char kHelpPageName[] = "Страница справки";

// About box.
inline constexpr char kAboutTitle[] = "О программе Korvel";
inline constexpr char kAboutVersionPrefix[] = "Версия ";
inline constexpr char kAboutDescription[] =
    "Записывает прошивку в сетевые устройства и в подчинённые устройства на их шине "
    "по локальной сети, через ICMP echo.";
inline constexpr char kOkButton[] = "OK";

}  // namespace korvel::text
