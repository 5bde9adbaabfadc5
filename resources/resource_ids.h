// Resource ids of the viewer: skin bitmaps (IDB_), strings (IDS_), dialog templates (IDD_),
// the icon (IDI_), the map page (IDR_) and the controls of the main window and the progress
// dialog (IDC_). Bitmap and string ids are separate name spaces and share numbers.
// Strings come in Korean / English / Japanese ids; nothing derives one id from another.
#pragma once

// Dialog templates.
constexpr int IDD_MAIN = 102;
constexpr int IDD_ZOOM = 227;
constexpr int IDD_SETTINGS = 303;
constexpr int IDD_PROGRESS = 510;

constexpr int IDI_APP = 143;
constexpr int IDR_MAP_PAGE = 501;  // HTML

// Skin bitmaps: normal, pressed ("_DOWN"), disabled variants.
constexpr int IDB_BACKGROUND = 421;            // 975 x 635
constexpr int IDB_POS_CHANNEL = 443;           // 393 x 14
constexpr int IDB_POS_CHANNEL_ACTIVE = 444;
constexpr int IDB_POS_CHANNEL_FULL = 518;
constexpr int IDB_POS_CHANNEL_FULL_ACTIVE = 519;
constexpr int IDB_LIST_TITLE_KO = 537;         // 325 x 18
constexpr int IDB_LIST_TITLE_EN = 558;
constexpr int IDB_LIST_TITLE_JA = 559;
constexpr int IDB_MAP = 428;                   // 161 x 24
constexpr int IDB_MAP_DOWN = 429;
constexpr int IDB_MAP_DISABLED = 430;
constexpr int IDB_SWAP = 431;
constexpr int IDB_SWAP_DOWN = 432;
constexpr int IDB_SWAP_DISABLED = 433;
constexpr int IDB_SMALL_MAP = 448;
constexpr int IDB_SMALL_MAP_DOWN = 449;
constexpr int IDB_SMALL_MAP_DISABLED = 450;
constexpr int IDB_SMALL_CAMERA = 475;
constexpr int IDB_SMALL_CAMERA_DOWN = 476;
constexpr int IDB_SMALL_CAMERA_DISABLED = 477;
constexpr int IDB_FULL_SWAP_DISABLED = 515;    // 157 x 27
constexpr int IDB_FULL_SWAP_DOWN = 516;
constexpr int IDB_FULL_SWAP = 517;
constexpr int IDB_DOWNLOAD = 505;              // 140 x 25
constexpr int IDB_DOWNLOAD_DOWN = 506;
constexpr int IDB_SMALL_CHANNEL = 422;         // 81 x 14
constexpr int IDB_SMALL_CHANNEL_ACTIVE = 423;
constexpr int IDB_FILTER_ALL = 417;            // 65 x 24
constexpr int IDB_FILTER_ALL_DOWN = 418;
constexpr int IDB_FILTER_EVENT = 437;
constexpr int IDB_FILTER_EVENT_DOWN = 438;
constexpr int IDB_FILTER_USER = 445;
constexpr int IDB_FILTER_USER_DOWN = 446;
constexpr int IDB_FILTER_PARKING = 457;
constexpr int IDB_FILTER_PARKING_DOWN = 458;
constexpr int IDB_FILTER_DRIVING = 463;
constexpr int IDB_FILTER_DRIVING_DOWN = 464;
constexpr int IDB_NEXT = 460;                  // 31 x 17
constexpr int IDB_NEXT_DOWN = 461;
constexpr int IDB_PRE = 472;
constexpr int IDB_PRE_DOWN = 473;
constexpr int IDB_MIRROR = 454;                // 30 x 23
constexpr int IDB_MIRROR_DOWN = 455;
constexpr int IDB_CAPTURE = 425;               // 30 x 20
constexpr int IDB_CAPTURE_DOWN = 426;
constexpr int IDB_MUTE_DOWN = 494;             // 27 x 22
constexpr int IDB_MUTE = 495;
constexpr int IDB_CLOSE = 434;                 // 25 x 25
constexpr int IDB_CLOSE_DOWN = 435;
constexpr int IDB_FULLSCREEN = 440;
constexpr int IDB_FULLSCREEN_DOWN = 441;
constexpr int IDB_MINIMIZE = 451;
constexpr int IDB_MINIMIZE_DOWN = 452;
constexpr int IDB_WINDOW = 502;
constexpr int IDB_WINDOW_DOWN = 503;
constexpr int IDB_BACK10 = 478;                // 25 x 16
constexpr int IDB_BACK10_DOWN = 479;
constexpr int IDB_FWD10 = 481;
constexpr int IDB_FWD10_DOWN = 482;
constexpr int IDB_BRIGHTNESS = 424;            // 24 x 25
constexpr int IDB_SETTINGS = 484;              // 21 x 21
constexpr int IDB_SETTINGS_DOWN = 485;
constexpr int IDB_ZOOM = 496;
constexpr int IDB_ZOOM_DOWN = 497;
constexpr int IDB_OPEN = 466;                  // 19 x 17
constexpr int IDB_OPEN_DOWN = 467;
constexpr int IDB_STOP = 489;                  // 17 x 16
constexpr int IDB_STOP_DOWN = 490;
constexpr int IDB_PLAY = 469;                  // 15 x 17
constexpr int IDB_PAUSE = 511;
constexpr int IDB_THUMB = 420;                 // 14 x 14
constexpr int IDB_BAR_BOTTOM = 513;            // 14 x 45
constexpr int IDB_BAR_TOP = 514;               // 14 x 40

// Strings. Suffix _KO / _EN / _JA names the language of the text held at that id.
constexpr int IDS_APP_TITLE = 402;  // the same text in every language
constexpr int IDS_QUIT_TEXT_KO = 413, IDS_QUIT_TEXT_EN = 414, IDS_QUIT_TEXT_JA = 546;
constexpr int IDS_QUIT_CAPTION_KO = 415, IDS_QUIT_CAPTION_EN = 416, IDS_QUIT_CAPTION_JA = 547;
constexpr int IDS_COL_TYPE_KO = 431, IDS_COL_TYPE_EN = 442, IDS_COL_TYPE_JA = 553;
constexpr int IDS_COL_FILENAME_KO = 405, IDS_COL_FILENAME_EN = 406, IDS_COL_FILENAME_JA = 542;
constexpr int IDS_COL_DATE_KO = 407, IDS_COL_DATE_EN = 408, IDS_COL_DATE_JA = 543;
constexpr int IDS_COL_REAR_KO = 443, IDS_COL_REAR_EN = 444, IDS_COL_REAR_JA = 555;
constexpr int IDS_COL_SIZE_KO = 409, IDS_COL_SIZE_EN = 410, IDS_COL_SIZE_JA = 544;
constexpr int IDS_COL_PATH_KO = 411, IDS_COL_PATH_EN = 412, IDS_COL_PATH_JA = 545;
constexpr int IDS_NO_CARD_KO = 445, IDS_NO_CARD_EN = 446, IDS_NO_CARD_JA = 556;
constexpr int IDS_NO_SELECTION_KO = 447, IDS_NO_SELECTION_EN = 448, IDS_NO_SELECTION_JA = 557;
constexpr int IDS_TARGET_FOLDER_KO = 521, IDS_TARGET_FOLDER_EN = 522, IDS_TARGET_FOLDER_JA = 523;
constexpr int IDS_NO_SETTINGS_FILE_KO = 421, IDS_NO_SETTINGS_FILE_EN = 422,
              IDS_NO_SETTINGS_FILE_JA = 548;
constexpr int IDS_SETTINGS_ERROR_CAPTION_KO = 423, IDS_SETTINGS_ERROR_CAPTION_EN = 424,
              IDS_SETTINGS_ERROR_CAPTION_JA = 549;
constexpr int IDS_SETTINGS_ERROR_TEXT_KO = 425, IDS_SETTINGS_ERROR_TEXT_EN = 426,
              IDS_SETTINGS_ERROR_TEXT_JA = 550;
constexpr int IDS_CANCEL_KO = 518, IDS_CANCEL_EN = 519, IDS_CANCEL_JA = 520;
// A save the card did not take (caption: IDS_SETTINGS_ERROR_CAPTION_*).
constexpr int IDS_SETTINGS_WRITE_FAILED_KO = 620, IDS_SETTINGS_WRITE_FAILED_EN = 621,
              IDS_SETTINGS_WRITE_FAILED_JA = 622;
// The card's settings file is too large to be one, and is left alone.
constexpr int IDS_SETTINGS_TOO_LARGE_KO = 623, IDS_SETTINGS_TOO_LARGE_EN = 624,
              IDS_SETTINGS_TOO_LARGE_JA = 625;
// The card's settings file (or its SETTING folder) is a link, which no recorder makes; it is
// neither read nor written.
constexpr int IDS_SETTINGS_LINK_KO = 626, IDS_SETTINGS_LINK_EN = 627, IDS_SETTINGS_LINK_JA = 628;

// Captions of the settings dialog.
constexpr int IDS_SET_TITLE_KO = 398, IDS_SET_TITLE_EN = 399, IDS_SET_TITLE_JA = 539;
constexpr int IDS_SET_STORAGE_KO = 312, IDS_SET_STORAGE_EN = 313, IDS_SET_STORAGE_JA = 463;
constexpr int IDS_SET_DRIVING_KO = 314, IDS_SET_DRIVING_EN = 315, IDS_SET_DRIVING_JA = 464;
constexpr int IDS_SET_PARKING_KO = 316, IDS_SET_PARKING_EN = 317, IDS_SET_PARKING_JA = 465;
constexpr int IDS_SET_EVENT_KO = 318, IDS_SET_EVENT_EN = 319, IDS_SET_EVENT_JA = 466;
constexpr int IDS_SET_USER_KO = 320, IDS_SET_USER_EN = 321, IDS_SET_USER_JA = 467;
constexpr int IDS_SET_CAUTION_KO = 322, IDS_SET_CAUTION_EN = 323, IDS_SET_CAUTION_JA = 468;
constexpr int IDS_SET_BATTERY_KO = 324, IDS_SET_BATTERY_EN = 325, IDS_SET_BATTERY_JA = 469;
constexpr int IDS_SET_TIME_KO = 330, IDS_SET_TIME_EN = 331, IDS_SET_TIME_JA = 472;
constexpr int IDS_SET_PC_SYNC_KO = 338, IDS_SET_PC_SYNC_EN = 339, IDS_SET_PC_SYNC_JA = 476;
constexpr int IDS_SET_VERSION_KO = 340, IDS_SET_VERSION_EN = 341, IDS_SET_VERSION_JA = 477;
constexpr int IDS_SET_PC_VIEWER_KO = 400, IDS_SET_PC_VIEWER_EN = 401, IDS_SET_PC_VIEWER_JA = 540;
constexpr int IDS_SET_MODEL_KO = 342, IDS_SET_MODEL_EN = 343, IDS_SET_MODEL_JA = 478;
constexpr int IDS_SET_FIRMWARE_KO = 344, IDS_SET_FIRMWARE_EN = 345, IDS_SET_FIRMWARE_JA = 479;
constexpr int IDS_SET_SETTINGS_KO = 346, IDS_SET_SETTINGS_EN = 347, IDS_SET_SETTINGS_JA = 480;
constexpr int IDS_SET_VOICE_REC_KO = 352, IDS_SET_VOICE_REC_EN = 353, IDS_SET_VOICE_REC_JA = 483;
constexpr int IDS_SET_VOICE_GUIDE_KO = 354, IDS_SET_VOICE_GUIDE_EN = 355,
              IDS_SET_VOICE_GUIDE_JA = 484;
constexpr int IDS_SET_IMPACT_KO = 356, IDS_SET_IMPACT_EN = 357, IDS_SET_IMPACT_JA = 485;
constexpr int IDS_SET_MOTION_KO = 362, IDS_SET_MOTION_EN = 363, IDS_SET_MOTION_JA = 488;
constexpr int IDS_SET_LOW_KO = 358, IDS_SET_LOW_EN = 359, IDS_SET_LOW_JA = 486;
constexpr int IDS_SET_NORMAL_KO = 461, IDS_SET_NORMAL_EN = 462, IDS_SET_NORMAL_JA = 561;
constexpr int IDS_SET_HIGH_KO = 360, IDS_SET_HIGH_EN = 361, IDS_SET_HIGH_JA = 487;
constexpr int IDS_SET_YES_KO = 457, IDS_SET_YES_EN = 458, IDS_SET_YES_JA = 559;
constexpr int IDS_SET_NO_KO = 459, IDS_SET_NO_EN = 460, IDS_SET_NO_JA = 560;
constexpr int IDS_SET_BIKE_KO = 497, IDS_SET_BIKE_EN = 498, IDS_SET_BIKE_JA = 499;
constexpr int IDS_SET_YEAR_KO = 500, IDS_SET_YEAR_EN = 506, IDS_SET_YEAR_JA = 512;
constexpr int IDS_SET_MONTH_KO = 501, IDS_SET_MONTH_EN = 507, IDS_SET_MONTH_JA = 513;
constexpr int IDS_SET_DAY_KO = 502, IDS_SET_DAY_EN = 508, IDS_SET_DAY_JA = 514;
constexpr int IDS_SET_HOUR_KO = 503, IDS_SET_HOUR_EN = 509, IDS_SET_HOUR_JA = 515;
constexpr int IDS_SET_MINUTE_KO = 504, IDS_SET_MINUTE_EN = 510, IDS_SET_MINUTE_JA = 516;
constexpr int IDS_SET_SECOND_KO = 505, IDS_SET_SECOND_EN = 511, IDS_SET_SECOND_JA = 517;
constexpr int IDS_SET_SAVE_KO = 396, IDS_SET_SAVE_EN = 397, IDS_SET_SAVE_JA = 538;

// Controls of the main window (template 102).
constexpr int IDC_MINIMIZE = 1000, IDC_CLOSE = 1001, IDC_POS_SLIDER = 1002;
constexpr int IDC_VOLUME_SLIDER = 1004, IDC_PRE = 1005, IDC_PLAY = 1006, IDC_STOP = 1007;
constexpr int IDC_NEXT = 1008, IDC_BACK10 = 1009, IDC_FWD10 = 1010, IDC_OPEN = 1012;
constexpr int IDC_LIST = 1013, IDC_POS_LABEL = 1014, IDC_LENGTH_LABEL = 1015;
constexpr int IDC_SETTINGS = 1016, IDC_CAPTURE = 1017, IDC_FULLSCREEN = 1018;
constexpr int IDC_MUTE = 1023, IDC_WINDOW = 1025, IDC_SMALL_MAP = 1099, IDC_SWAP = 1097;
constexpr int IDC_FULL_SWAP = 1098, IDC_SMALL_CAMERA = 1100, IDC_MAP = 1101;
constexpr int IDC_MAP_VIEW = 1106, IDC_BRIGHTNESS_SLIDER = 1112, IDC_LIST_TITLE = 1114;
constexpr int IDC_PAUSE = 1120, IDC_ZOOM = 1121, IDC_SELECT_ALL = 1136, IDC_DOWNLOAD = 1143;
constexpr int IDC_FILTER_EVENT = 1150, IDC_FILTER_PARKING = 1151, IDC_FILTER_DRIVING = 1152;
constexpr int IDC_FILTER_USER = 1153, IDC_FILTER_ALL = 1154, IDC_GRAPH = 1156;
constexpr int IDC_MIRROR = 1236, IDC_BRIGHTNESS_ICON = 1237, IDC_FRONT_PANE = 1238;
constexpr int IDC_REAR_PANE = 1239, IDC_SPEED_LABEL = 1240, IDC_BAR_TOP = 1242;
constexpr int IDC_BAR_BOTTOM = 1243;

// Controls of the settings dialog (template 303). Their numbers overlap the main window's.
constexpr int IDC_SET_STORAGE_GROUP = 1200, IDC_SET_SETTINGS_GROUP = 1166;
constexpr int IDC_SET_TIME_GROUP = 1208, IDC_SET_VERSION_GROUP = 1212;
constexpr int IDC_SET_CONST = 1173, IDC_SET_PARK = 1174, IDC_SET_EVENT = 1176;
constexpr int IDC_SET_MANUAL = 1178, IDC_SET_VOLTAGE = 1177;
constexpr int IDC_SET_CONST_LABEL = 1201, IDC_SET_PARK_LABEL = 1202;
constexpr int IDC_SET_EVENT_LABEL = 1203, IDC_SET_MANUAL_LABEL = 1204;
constexpr int IDC_SET_CAUTION = 1167, IDC_SET_VOLTAGE_LABEL = 1206;
constexpr int IDC_SET_MIC_LABEL = 1216, IDC_SET_MIC_ON = 1154, IDC_SET_MIC_OFF = 1155;
constexpr int IDC_SET_VOICE_LABEL = 1217, IDC_SET_VOICE_ON = 1156, IDC_SET_VOICE_OFF = 1159;
constexpr int IDC_SET_LOW = 1222, IDC_SET_NORMAL = 1224, IDC_SET_HIGH = 1223;
constexpr int IDC_SET_ACC_LABEL = 1218, IDC_SET_BIKE = 1157, IDC_SET_ACC = 1186;
constexpr int IDC_SET_MOTION_LABEL = 1219, IDC_SET_MOTION = 1171;
constexpr int IDC_SET_SYNC_LABEL = 1210, IDC_SET_SYNC = 1162;
constexpr int IDC_SET_YEAR = 1180, IDC_SET_MONTH = 1181, IDC_SET_DAY = 1182;
constexpr int IDC_SET_HOUR = 1183, IDC_SET_MINUTE = 1184, IDC_SET_SECOND = 1185;
constexpr int IDC_SET_YEAR_UNIT = 1253, IDC_SET_MONTH_UNIT = 1254, IDC_SET_DAY_UNIT = 1255;
constexpr int IDC_SET_HOUR_UNIT = 1256, IDC_SET_MINUTE_UNIT = 1257, IDC_SET_SECOND_UNIT = 1258;
constexpr int IDC_SET_VIEWER_LABEL = 1213, IDC_SET_VIEWER_VERSION = 1168;
constexpr int IDC_SET_MODEL_LABEL = 1214, IDC_SET_MODEL = 1188;
constexpr int IDC_SET_FIRMWARE_LABEL = 1215, IDC_SET_FIRMWARE = 1169;
constexpr int IDC_SET_SAVE = 1163, IDC_SET_CANCEL = 2;

// Controls of the progress dialog (template 510).
constexpr int IDC_PROGRESS_CANCEL = 1019, IDC_PROGRESS_FILE = 1030;
constexpr int IDC_PROGRESS_OVERALL = 1031, IDC_PROGRESS_STATUS = 1032;
