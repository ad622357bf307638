// Location codes: the number each reporting handler appends to the message
// of an exception that passes it ("\r\n>>" plus the code, see VxSystem), so
// that a failure's message tells the road it took. Every code is unique in
// the program; LocationCodes_test proves it from the list at the end.
//
// Add a code here, next to its unit, and append it to AllLocationCodes.
#pragma once

#include <array>

namespace qm::loc {

// Thread message hook manager.
inline constexpr int HookCallNext = 109;
inline constexpr int HookManagerCreate = 110;
inline constexpr int HookManagerDestroy = 111;
inline constexpr int HookAcquire = 112;
inline constexpr int HookRelease = 113;
inline constexpr int ThreadHookCountOverflow = 114;
inline constexpr int ThreadHookCreate = 115;
inline constexpr int ThreadHookCountUnderflow = 116;
inline constexpr int ActivationHookProc = 119;

// Desk band host.
inline constexpr int BandWindowProc = 120;
inline constexpr int BandCloseDW = 121;
inline constexpr int BandDestroy = 123;
inline constexpr int BandFocusNotice = 124;
inline constexpr int BandGetBandInfo = 125;
inline constexpr int BandGetClassID = 126;
inline constexpr int BandGetSite = 127;
inline constexpr int BandGetWindow = 129;
inline constexpr int BandCreate = 131;
inline constexpr int BandFormCreate = 134;
inline constexpr int BandSetSite = 137;
inline constexpr int BandShowDW = 138;
inline constexpr int BandUIActivateIO = 140;
inline constexpr int BandActivationPost = 142;
inline constexpr int BandFormConstruct = 143;
inline constexpr int BandFormDestroy = 144;
inline constexpr int BandThreadEntry1 = 155;
inline constexpr int BandThreadEntry2 = 156;
inline constexpr int BandThreadEntry3 = 157;
inline constexpr int BandThreadEntry4 = 158;
inline constexpr int BandThreadEntry5 = 159;
inline constexpr int BandThreadEntry6 = 160;
inline constexpr int BandRegistry1 = 163;
inline constexpr int BandRegistry2 = 164;
inline constexpr int BandRegistry3 = 165;
inline constexpr int BandRegistry4 = 166;
inline constexpr int BandRegistry5 = 167;

// Button hints.
inline constexpr int HintMouseMove = 145;
inline constexpr int HintHide = 146;
inline constexpr int HintTimer = 147;
inline constexpr int HintTrackTimer = 148;
inline constexpr int HintText = 149;
inline constexpr int HintFormCreate = 195;

// Helper object.
inline constexpr int NormalizeUrl = 1130;
inline constexpr int CombineUrl = 1131;
inline constexpr int HelperDestroy = 1132;
inline constexpr int RefreshProfiles = 1133;
inline constexpr int ProcessLoadedPage = 1134;
inline constexpr int HelperInitialize = 1136;
inline constexpr int HelperSetSite = 1137;
inline constexpr int SaveForms = 1138;
inline constexpr int FillRequest = 1139;
inline constexpr int FillFromProfile = 1140;
inline constexpr int OnBeforeNavigate = 1142;
inline constexpr int OnDocumentComplete = 1143;
inline constexpr int OnNavigateComplete = 1144;
inline constexpr int DialogShowingRelay = 1145;
inline constexpr int BindFieldCommand = 1146;
inline constexpr int RefreshAfterChange = 1149;
inline constexpr int SelectProfileCommand = 1152;
inline constexpr int ShowInManagerCommand = 1153;
inline constexpr int ScanDocumentForms = 1154;
inline constexpr int OnManagerQuit = 1156;
inline constexpr int OnFormSubmitted = 1158;
inline constexpr int ClearForms = 1159;
inline constexpr int AutoSubmitPage = 1161;
inline constexpr int PageAddressRelay = 1162;
inline constexpr int OnDownloadComplete = 1163;
inline constexpr int SaveNavigations = 1164;
inline constexpr int FetchPageCards = 1165;
inline constexpr int PlayNavigationCard = 1166;
inline constexpr int ConnectionRelay = 1167;
inline constexpr int RescanForms = 1168;
inline constexpr int OnWindowLoad = 1205;
inline constexpr int ProcessPage = 1582;

// Page form items.
inline constexpr int FormItemClearValues = 1169;
inline constexpr int FormItemCreate = 1170;
inline constexpr int FormItemDestroy = 1171;
inline constexpr int FormItemDisconnectSink = 1172;
inline constexpr int FormItemFillFromManager = 1173;
inline constexpr int FormItemOnFormSubmit = 1175;
inline constexpr int FormItemGetSubmitter = 1178;
inline constexpr int FormItemSetActionUrl = 1179;
inline constexpr int FormItemAttachForm = 1182;
inline constexpr int FormItemSubmit = 1187;
inline constexpr int FormItemGetFormSysID = 1511;
inline constexpr int FormItemFillFromSet = 1589;  // also FillFormFromSet outside its walk
inline constexpr int FormItemFillFromCard = 1591;
inline constexpr int FormItemBuildCard = 1593;

// Form filling and extraction.
inline constexpr int FillElement = 1189;
inline constexpr int FillInput = 1208;
inline constexpr int FillSelect = 1209;
inline constexpr int FillTextArea = 1210;
inline constexpr int GetElementInfo = 1212;
inline constexpr int GetInputInfo = 1213;
inline constexpr int GetSelectInfo = 1214;
inline constexpr int GetTextAreaInfo = 1215;
inline constexpr int GetAttributeText = 1513;
inline constexpr int SetAttributeText = 1514;
inline constexpr int NormalizeOptionText = 1520;
inline constexpr int SetOptionSelected = 1610;
inline constexpr int ClearSelection = 1611;
inline constexpr int FillFormFromCard = 1612;
inline constexpr int ReadFormFields = 1613;
inline constexpr int GetTypeAttribute = 1614;
inline constexpr int GetSelectedOptionTexts = 1615;

// Element change tracking.
inline constexpr int SinkAttach = 1192;
inline constexpr int SinkCreate = 1193;
inline constexpr int SinkDestroy = 1194;
inline constexpr int SinkDetach = 1195;
inline constexpr int SinkOnValueChanged = 1196;
inline constexpr int TrackerCreate = 1197;
inline constexpr int TrackerUntrack = 1198;
inline constexpr int TrackerTrack = 1199;
inline constexpr int TextAreaChangeHandler = 1200;
inline constexpr int InputChangeHandler = 1201;
inline constexpr int SinkGetSinkID = 1211;

// Navigation playback.
inline constexpr int PlayStoredNavigation = 1202;
inline constexpr int FindClickTarget = 1203;
inline constexpr int PlayNavigationStep = 1207;

// Address helpers.
inline constexpr int StripWwwPrefix = 1515;

// Field commands.
inline constexpr int AddSynonymCommand = 1508;
inline constexpr int FindFocusedField = 1509;
inline constexpr int ShowBindDialog = 1510;
inline constexpr int AddValueCommand = 1584;
inline constexpr int AddAllValuesCommand = 1585;

// Saving.
inline constexpr int UpdatePageNote = 1583;

// Auto fill.
inline constexpr int FillItemFromSet = 1587;
inline constexpr int FillFromFormSet = 1588;

// Streams.
inline constexpr int StreamToVariant = 1569;
inline constexpr int VariantToStream = 1570;

// Agent.
inline constexpr int AgentActiveProfile = 1574;
inline constexpr int AgentShowOptions = 1575;
inline constexpr int AgentBannerData = 1580;
inline constexpr int AgentBannerClick = 1581;

// Lexicon.
inline constexpr int LexiconAddSubstitution = 1595;
inline constexpr int LexiconExpandSubstitutions = 1596;
inline constexpr int LexiconNormalize = 1597;
inline constexpr int LexiconSetStopWords = 1601;
inline constexpr int BaseListRenormalize = 1602;

// Transit model.
inline constexpr int TransitFindBestCard = 1603;
inline constexpr int TransitFindField = 1604;
inline constexpr int TransitFindMatchingField = 1605;
inline constexpr int TransitCompare = 1606;
inline constexpr int TransitCompareFields = 1607;
inline constexpr int TransitFieldsText = 1608;
inline constexpr int TransitMatches = 1609;

// Toolbar form.
inline constexpr int ToolbarOnActivation = 1711;
inline constexpr int ToolbarFormCreate = 1712;
inline constexpr int ToolbarRefreshButtons = 1713;
inline constexpr int ToolbarDropDownClick = 1714;

inline constexpr auto AllLocationCodes = std::to_array<int>({
    HookCallNext, HookManagerCreate, HookManagerDestroy, HookAcquire, HookRelease,
    ThreadHookCountOverflow, ThreadHookCreate, ThreadHookCountUnderflow, ActivationHookProc,
    BandWindowProc, BandCloseDW, BandDestroy, BandFocusNotice, BandGetBandInfo, BandGetClassID,
    BandGetSite, BandGetWindow, BandCreate, BandFormCreate, BandSetSite, BandShowDW,
    BandUIActivateIO, BandActivationPost, BandFormConstruct, BandFormDestroy, BandThreadEntry1,
    BandThreadEntry2, BandThreadEntry3, BandThreadEntry4, BandThreadEntry5, BandThreadEntry6,
    BandRegistry1, BandRegistry2, BandRegistry3, BandRegistry4, BandRegistry5,
    HintMouseMove, HintHide, HintTimer, HintTrackTimer, HintText, HintFormCreate,
    NormalizeUrl, CombineUrl, HelperDestroy, RefreshProfiles, ProcessLoadedPage,
    HelperInitialize, HelperSetSite, SaveForms, FillRequest, FillFromProfile, OnBeforeNavigate,
    OnDocumentComplete, OnNavigateComplete, DialogShowingRelay, BindFieldCommand,
    RefreshAfterChange, SelectProfileCommand, ShowInManagerCommand, ScanDocumentForms,
    OnManagerQuit, OnFormSubmitted, ClearForms, AutoSubmitPage, PageAddressRelay,
    OnDownloadComplete, SaveNavigations, FetchPageCards, PlayNavigationCard, ConnectionRelay,
    RescanForms, OnWindowLoad, ProcessPage,
    FormItemClearValues, FormItemCreate, FormItemDestroy, FormItemDisconnectSink,
    FormItemFillFromManager, FormItemOnFormSubmit, FormItemGetSubmitter, FormItemSetActionUrl,
    FormItemAttachForm, FormItemSubmit, FormItemGetFormSysID, FormItemFillFromSet,
    FormItemFillFromCard, FormItemBuildCard,
    FillElement, FillInput, FillSelect, FillTextArea, GetElementInfo, GetInputInfo,
    GetSelectInfo, GetTextAreaInfo, GetAttributeText, SetAttributeText, NormalizeOptionText,
    SetOptionSelected, ClearSelection, FillFormFromCard, ReadFormFields, GetTypeAttribute,
    GetSelectedOptionTexts,
    SinkAttach, SinkCreate, SinkDestroy, SinkDetach, SinkOnValueChanged, TrackerCreate,
    TrackerUntrack, TrackerTrack, TextAreaChangeHandler, InputChangeHandler, SinkGetSinkID,
    PlayStoredNavigation, FindClickTarget, PlayNavigationStep,
    StripWwwPrefix,
    AddSynonymCommand, FindFocusedField, ShowBindDialog, AddValueCommand, AddAllValuesCommand,
    UpdatePageNote, FillItemFromSet, FillFromFormSet,
    StreamToVariant, VariantToStream,
    AgentActiveProfile, AgentShowOptions, AgentBannerData, AgentBannerClick,
    LexiconAddSubstitution, LexiconExpandSubstitutions, LexiconNormalize, LexiconSetStopWords,
    BaseListRenormalize,
    TransitFindBestCard, TransitFindField, TransitFindMatchingField, TransitCompare,
    TransitCompareFields, TransitFieldsText, TransitMatches,
    ToolbarOnActivation, ToolbarFormCreate, ToolbarRefreshButtons, ToolbarDropDownClick,
});

}  // namespace qm::loc
