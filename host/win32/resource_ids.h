#pragma once
// Ids shared by the resource script and the code.
#define IDD_SETTINGS 2003
#define IDC_MINUTES 1001
#define IDC_BLANK 1002
#define IDC_MINUTES_LABEL 1003
#define IDC_SCALE_LABEL 1004
#define IDC_SCALE 1005
