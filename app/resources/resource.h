/* Identifiers of the Windows program's resources, shared by sonabar.rc and the
   Win32 shell. Plain defines, because the resource compiler reads this file
   too; the shell asserts that the menu commands match the portable ones. */
#ifndef SONABAR_RESOURCE_H
#define SONABAR_RESOURCE_H

#define IDR_TRAY_MENU 101 /* menu: one popup, the tray menu */
#define IDI_SONABAR 102   /* icon group: 32 x 32 and 16 x 16, 256 colours */
#define IDR_DRIVER_IMAGE 103 /* type BIN: the port I/O driver hwinterface.sys */
#define IDD_ABOUT 110     /* the About box */

#define IDM_EXIT 40003
#define IDM_PEAK 40006
#define IDM_SIXTEEN 40007
#define IDM_ABOUT 40008
/* the "Sensitivity" submenu's radio items (another -gain=N gets 40035 at run time) */
#define IDM_GAIN_NORMAL 40030
#define IDM_GAIN_6_DB 40031
#define IDM_GAIN_12_DB 40032
#define IDM_GAIN_18_DB 40033
#define IDM_GAIN_AUTO 40034

#endif
