// rozove info. The module's strings are code page 932; they are shown as UTF-8.
#include "host/cli/info_command.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/job/module_loader.h"
#include "host/cli/report.h"
#include "platform/code_page_932.h"
#include "settings/settings_block.h"

namespace {

void ShowTable(const LoadedModule& module) {
    const OutputPluginTable* table = module.table;
    std::printf("module       %s\n", module.path.c_str());
    std::printf("name         %s\n", CodePage932ToUtf8(table->name).c_str());
    // The filter: pairs of description and pattern, closed by an empty string.
    const char* filter = table->filter;
    const char* label = "file types   ";
    for (int pair = 0; filter != nullptr && *filter != '\0' && pair < 64; ++pair) {
        const char* pattern = filter + std::strlen(filter) + 1;
        std::printf("%s%s  %s\n", label, CodePage932ToUtf8(filter).c_str(), CodePage932ToUtf8(pattern).c_str());
        label = "             ";
        if (*pattern == '\0') break;
        filter = pattern + std::strlen(pattern) + 1;
    }
    std::printf("information  %s\n", CodePage932ToUtf8(table->information).c_str());
    std::printf("entries      output %s, settings dialog %s, settings read %s, settings write %s\n",
                table->output ? "yes" : "no", table->config ? "yes" : "no", table->configGet ? "yes" : "no",
                table->configSet ? "yes" : "no");
}

void ShowSettings(const OutputPluginTable* table) {
    const int32_t size = table->configGet(nullptr, 0);
    if (size <= 0 || size > 4096) {
        std::printf("settings     none (the module reports %d bytes)\n", size);
        return;
    }
    std::string block(static_cast<size_t>(size), '\0');
    table->configGet(&block[0], size);
    std::printf("settings     %d bytes:", size);
    for (char byte : block) std::printf(" %02x", static_cast<unsigned>(static_cast<uint8_t>(byte)));
    std::printf("\n");
    if (size == settings_block::kBytes) {
        const settings_block::Values values = settings_block::Read(reinterpret_cast<const uint8_t*>(block.data()));
        const int32_t mask = values.useRightHalfAsMask;
        const int32_t loop = values.loopCount;
        std::printf("             mask mode (useRightHalfAsMask) %d: %s\n", mask, mask != 0 ? "on" : "off");
        std::printf("             repeat count (loopCount) %d%s\n", loop, loop == 0 ? ": loops for ever" : "");
    }
}

}  // namespace

RunOutcome RunInfo(const CommandLine& commandLine) {
    LoadedModule module;
    std::string error;
    if (!LoadModule(ChosenModulePath(commandLine.modulePath), &module, &error)) {
        Fail(error);
        return RunOutcome::Failed;
    }
    ShowTable(module);
    if (module.table->configGet != nullptr) ShowSettings(module.table);
    return RunOutcome::Done;
}
