// Control and command ids of the main dialog (template 102 with menu 134), as the dialog
// template numbers them. The model addresses every control by these ids.
#pragma once

namespace kv58::ids {

// Identity block.
constexpr int kProductCodeLabel = 1041;
constexpr int kProductCode = 1042;
constexpr int kTypeLabel = 1002;
constexpr int kTypeText = 1000;
constexpr int kTypeList = 1001;
constexpr int kVersionLabel = 1032;
constexpr int kVersionText = 1033;
constexpr int kSerialLabel = 1034;
constexpr int kSerialText = 1035;

// Actual (texts) and new (lists, edits) configuration.
constexpr int kOutputLabel = 1018;
constexpr int kOutputText = 1020;
constexpr int kOutputList = 1022;
constexpr int kUnitLabel = 1003;
constexpr int kUnitText = 1004;
constexpr int kUnitList = 1005;
constexpr int kTMinLabel = 1006;
constexpr int kTMinText = 1007;
constexpr int kTMinEdit = 1008;
constexpr int kTMinUnit = 1009;
constexpr int kTMaxLabel = 1010;
constexpr int kTMaxText = 1012;
constexpr int kTMaxEdit = 1014;
constexpr int kTMaxUnit = 1016;
constexpr int kDisplayLabel = 1023;
constexpr int kDisplayText = 1024;
constexpr int kDisplayList = 1025;
constexpr int kRelayLabel = 1026;
constexpr int kRelayText = 1027;
constexpr int kRelayList = 1028;
constexpr int kFactoryLabel = 1029;
constexpr int kFactoryText = 1030;
constexpr int kWriteProgram = 1036;
constexpr int kLastButton = 1040;

// Commands.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kReadNow = 1031;
constexpr int kWriteNow = 1043;
constexpr int kMenuRead = 40001;
constexpr int kMenuWrite = 40002;
constexpr int kMenuContact = 40004;
constexpr int kMenuRun = 40006;
constexpr int kMenuAbout = 57664;
constexpr int kMenuExit = 57665;
constexpr int kSysAbout = 0x10;

}  // namespace kv58::ids
