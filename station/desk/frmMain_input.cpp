// The station window's inputs without the ID field: the paged name list, the number pad and the
// serial barcode frame. Each procedure is wired to its control; the window's load calls
// frmMain_ShowNamePage for page 1 in the name-list modes.
#include "desk/frmMain.h"

// Builds page mlngPage of the name list (buttons, captions, pictures, mstrPageIDs).
void frmMain::frmMain_ShowNamePage() {}

void frmMain::frmMain_imgFoward_Click() {}

void frmMain::frmMain_imgNext_Click() {}

// A member chosen by his icon: gstrSelectedID, then the confirmation window, whose OK calls
// frmMain_txtID_LostFocus.
void frmMain::frmMain_cmdIcon_Click(int Index) { (void)Index; }

void frmMain::frmMain_cmdName_Click(int Index) { frmMain_cmdIcon_Click(Index); }

void frmMain::frmMain_cmdNo_Click(int Index) { (void)Index; }

void frmMain::frmMain_cmdClear_Click() {}

// The pad's lookup; the clock also calls it for a number left on the pad.
void frmMain::frmMain_cmdRet_Click() {}

// Every key press on the window comes here first; setting KeyAscii to 0 swallows the key.
void frmMain::frmMain_Form_KeyPress(int& KeyAscii) { (void)KeyAscii; }

// Receive event of MSComm1: cut the frames into IDs and hand each on with frmMain_HandOnID.
void frmMain::frmMain_MSComm1_OnComm() {}
