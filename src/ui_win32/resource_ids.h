#pragma once

// The numbered resources of Korvel.exe; the resource script includes this header too, so it
// holds nothing but #defines.
#define KORVEL_IDD_ABOUT 100
#define KORVEL_IDS_ABOUT_ITEM 101
#define KORVEL_IDD_MAIN 102
#define KORVEL_IDS_SOCKETS_FAILED 103
#define KORVEL_IDR_HELP_PAGE 104
#define KORVEL_IDI_APPLICATION 128
#define KORVEL_IDD_HELP 133
// Resource type of HTML pages (RT_HTML).
#define KORVEL_RT_HTML 23
