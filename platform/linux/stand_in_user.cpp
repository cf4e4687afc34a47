// What the tests' build of the stand-ins lets a test see and do in the
// user's place: read the debugger lines, catch the message box, play the
// dialog, and route the loaded module's lines and boxes to the catchers of
// the tests that load it. The module users install prints its message and
// has no user for the dialog (stand_in_fixed.h).
#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

constexpr size_t kKeep = 1 << 20;  // a host may call for ever; keep the last MiB
std::string collected;
StandInDebugSink debugSink = nullptr;
StandInMessageBoxSink messageBoxSink = nullptr;
MessageBoxHandler handler = StandInPrintMessage;
DialogScript script;
std::string lastTemplate;

}  // namespace

bool StandInRoutesDebugLine(const char* text) {
    if (debugSink == nullptr) return false;
    debugSink(text);
    return true;
}

void StandInKeepDebugLine(const char* text) {
    collected += text;
    if (collected.size() > kKeep) collected.erase(0, collected.size() - kKeep);
}

std::string TakeDebugOutput() {
    std::string taken;
    taken.swap(collected);
    return taken;
}

bool StandInRoutesMessageBox(HWND owner, const char* text, const char* caption, unsigned type, int* answer) {
    if (messageBoxSink == nullptr) return false;
    *answer = messageBoxSink(owner, text, caption, type);
    return true;
}

void StandInShowMessage(const std::string& caption, const std::string& text) {
    if (handler) handler(caption, text);
}

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
    handler = std::move(newHandler);
}

void RouteStandInOutput(StandInDebugSink newDebugSink, StandInMessageBoxSink newMessageBoxSink) {
    debugSink = newDebugSink;
    messageBoxSink = newMessageBoxSink;
}

bool StandInDialogHasUser(const std::string& templateName) {
    lastTemplate = templateName;
    return static_cast<bool>(script);
}

void StandInPlayDialog(HWND dialog) {
    script(dialog);
}

void SetDialogScript(DialogScript newScript) {
    script = std::move(newScript);
}

void SetDialogItemText(HWND dialog, int id, const std::string& text) {
    dialog->texts[id] = text;
}

std::string DialogItemText(HWND dialog, int id) {
    return dialog->texts[id];
}

void PressDialogButton(HWND dialog, int id) {
    dialog->procedure(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void ClickCheckBox(HWND dialog, int id) {
    dialog->checks[id] = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
}

std::string LastDialogTemplate() {
    return lastTemplate;
}

void ResetStandInUser() {
    collected.clear();
    handler = StandInPrintMessage;
    script = nullptr;
    lastTemplate.clear();
}
