// The one OutputPluginTable, its strings, and the output entry. The table's
// strings are 8-bit text in the host's code page (932); these happen to be
// plain ASCII, which reads the same there.
#include "plugin/plugin_table.h"

#include "gif/animation_writer.h"
#include "settings/settings_entries.h"

namespace {

const char kDisplayName[] = "Rozove";
// Pairs of description and pattern, as the file dialogs take them, closed
// by an empty string: 42 bytes with the final NUL.
const char kFileFilter[] = "GIF File (*.gif)\0*.gif\0AllFile (*.*)\0*.*\0";
static_assert(sizeof kFileFilter == 42, "the filter is 42 bytes");
const char kInformation[] = "Rozove 256-level gray animated GIF output";

OutputPluginTable outputPluginTable = {
    0,
    kDisplayName,
    kFileFilter,
    kInformation,
    nullptr,
    nullptr,
    OnOutput,
    OnConfig,
    OnConfigGet,
    OnConfigSet,
    {0},
};

}  // namespace

OutputPluginTable* ROZOVE_CDECL GetOutputPluginTable(void) {
    return &outputPluginTable;
}

int32_t ROZOVE_CDECL OnOutput(OutputRequest* request) {
    return WriteAnimation(request) >= 0 ? 1 : 0;
}
