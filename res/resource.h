// Resource identifiers of Zelmar.exe, shared by Zelmar.rc and the C++ shell.
// Plain #defines only, so that windres can read this file too.
#pragma once

#define IDM_ABOUTBOX 0x0010  // system-menu command; commands 0x0010..0x001F
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128

#define IDC_FREQ1 1000
#define IDC_FREQ2 1001
#define IDC_FREQ3 1002
#define IDC_FREQ4 1003
#define IDC_FREQ5 1004
#define IDC_FREQ6 1005
#define IDC_FREQ7 1006
#define IDC_FREQ8 1007
#define IDC_FREQ9 1008
#define IDC_FREQ10 1009
#define IDC_FREQ11 1010
#define IDC_FREQ12 1011
#define IDC_CLEAR 1015
#define IDC_INFO 1018
#define IDC_FLABEL1 1019
#define IDC_FLABEL2 1020
#define IDC_FLABEL3 1021
#define IDC_FLABEL4 1022
#define IDC_FLABEL5 1023
#define IDC_FLABEL6 1024
#define IDC_FLABEL7 1025
#define IDC_FLABEL8 1026
#define IDC_FLABEL9 1027
#define IDC_FLABEL10 1028
#define IDC_FLABEL11 1029
#define IDC_FLABEL12 1030
#define IDC_RESULT 1033

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
