#pragma once

#include "common/version.h"

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
// The query was stopped from outside (the command line's Ctrl-C).
inline constexpr char kQueryInterrupted[] = "Запрос прерван";
// Why, on Linux: the reason line, made of what stands in the way of each kind of socket.
inline constexpr char kIcmpReasonPrefix[] = "Причина: ";
inline constexpr char kIcmpPingGroupsOutside[] =
    "ping-сокеты не разрешены группам пользователя (net.ipv4.ping_group_range = ";
inline constexpr char kIcmpPingGroupsOutsideEnd[] = ")";
inline constexpr char kIcmpPingRefusedInRange[] =
    "ping-сокет запрещён, хотя группа пользователя входит в net.ipv4.ping_group_range";
inline constexpr char kIcmpPingRefused[] = "ping-сокет запрещён";
inline constexpr char kIcmpNoNetRaw[] = "у программы нет права cap_net_raw";
inline constexpr char kIcmpFileNetRawIgnored[] = "право cap_net_raw у файла программы не действует";
inline constexpr char kIcmpBecauseNoSuid[] = " (файловая система смонтирована с nosuid)";
inline constexpr char kIcmpBecauseNoNewPrivileges[] = " (процесс запущен с no_new_privs)";
inline constexpr char kIcmpBecauseBoundingSet[] =
    " (cap_net_raw нет в ограничивающем наборе процесса)";
inline constexpr char kIcmpRawRefusedWithNetRaw[] =
    "raw-сокет запрещён, хотя у процесса есть cap_net_raw";
inline constexpr char kIcmpSystemSays[] = ". Система: ";
// What to do about it: the command that applies on this system.
inline constexpr char kIcmpRemedySetcap[] =
    "Что сделать: от имени root выполните setcap cap_net_raw+ep ";
inline constexpr char kIcmpRemedySysctl[] =
    "Что сделать: от имени root выполните sysctl -w net.ipv4.ping_group_range=\"0 2147483647\", "
    "а чтобы это сохранилось после перезагрузки, запишите строку "
    "«net.ipv4.ping_group_range = 0 2147483647» в файл /etc/sysctl.d/60-korvel-ping-group.conf";
inline constexpr char kIcmpRemedyAdministrator[] =
    "Что сделать: обратитесь к администратору: ICMP закрыт для программы политикой безопасности "
    "системы";
// The socket could not be had for a reason other than permission.
inline constexpr char kIcmpSocketFailed[] = "Не удалось открыть ICMP-сокет. Система: ";
inline constexpr char kIcmpSocketSetupFailed[] = "Не удалось настроить ICMP-сокет. Система: ";

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
// No lock against other copies could be made; the conversation goes ahead all the same.
inline constexpr char kDeviceLockUnavailable[] =
    "Не удалось занять устройство: другие копии Korvel не будут остановлены";
// A run stopped from outside; no message box shows it, only the command line stops runs.
inline constexpr char kRunInterrupted[] = "Прошивка прервана";
// The information box's last line after a run that moved a subordinate and did not give it its
// own address back.
// Why the window holds the end of the Windows session while a run stops.
inline constexpr char kShutdownBlockReason[] = "Идёт прошивка";
inline constexpr char kSubordinateLeftBehind[] =
    "Подчинённое устройство осталось на адресе прошивки 254: прошейте его ещё раз";

// Window.
inline constexpr char kAppName[] = "Korvel";
// Between the name and kVersion (common/version.h) in the title.
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

// korvel-cli's run log (--log-file), followed by the file's name.
inline constexpr char kRunLogCannotWrite[] = "Cannot write the run log: ";
// korvel-cli's refusals after the information query (--expect-board, --no-downgrade), and the
// devices a batch never started (--max-failures). The refusals' own texts name the values.
inline constexpr char kWrongBoard[] = "The device's board id is not the expected one";
inline constexpr char kDowngrade[] = "The image's version is lower than the device's program";
inline constexpr char kSkipped[] = "Not started: enough devices had failed already";

// About box.
inline constexpr char kAboutTitle[] = "О программе Korvel";
inline constexpr char kAboutVersionPrefix[] = "Версия ";
inline constexpr char kAboutDescription[] =
    "Записывает прошивку в сетевые устройства и в подчинённые устройства на их шине "
    "по локальной сети, через ICMP echo.";
inline constexpr char kOkButton[] = "OK";

}  // namespace korvel::text
