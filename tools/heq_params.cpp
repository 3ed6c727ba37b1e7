// SPDX-License-Identifier: MIT
#include "tools/heq_params.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/directory.h"
#include "platform/profile.h"
#include "tools/tools.h"
#include "watchlink/run_frame.h"

namespace {

// Room for any current directory the system gives, so that one too long
// for the file's path can still be named in the message.
constexpr std::size_t DIRECTORY_BUFFER_SIZE = 4096;
constexpr std::size_t SECTION_LIST_SIZE = 256;

std::string candidate_path(const std::string& directory, const char* name)
{
    if (directory.empty())
        return name;
    if (directory.back() == PLAT_PATH_SEPARATOR)
        return directory + name;
    return directory + PLAT_PATH_SEPARATOR + name;
}

std::string formatted(const char* format, const std::string& path, const std::string& why)
{
    std::string text(path.size() + why.size() + std::strlen(format) + 1, '\0');
    text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), format, path.c_str(), why.c_str())));
    return text;
}

}  // namespace

bool heq_params_differ(const heq_params& a, const heq_params& b) { return !(a == b); }

int read_heq_ini(heq_params& p)
{
    char cwd[DIRECTORY_BUFFER_SIZE] = {};
    // Without a current directory no candidate is tried: an empty one would
    // name a file somewhere else.
    const std::string directory = plat_current_directory(cwd, sizeof cwd) ? cwd : "";
    std::string failed_path, why;  // the first candidate that is there but cannot serve
    for (const char* name : HEQ_INI_NAMES) {
        const std::string path = candidate_path(directory, name);
        std::string reason;
        std::string text;
        if (directory.empty()) {
            reason = "the current directory cannot be had";
        } else if (path.size() > HEQ_INI_PATH_MAX) {
            reason = "path longer than " + std::to_string(HEQ_INI_PATH_MAX) + " characters";
        } else {
            const file_read_result r = plat_read_file(path.c_str(), HEQ_INI_SIZE_MAX, text);
            if (r.result == file_read::missing)
                continue;
            char sections[SECTION_LIST_SIZE];
            if (r.result == file_read::ok && profile_text_section_names(text, sections, sizeof sections) > 0) {
                heq_params read{};
                visit_heq_fields(read, [&](int i, auto& field) {
                    using T = std::remove_reference_t<decltype(field)>;
                    // Cut to the field's width: the low-order bits, two's complement.
                    field = static_cast<T>(
                        profile_text_int(text, HEQ_INI_SECTION, HEQ_FIELDS[i].name, HEQ_INI_DEFAULTS[i]));
                });
                p = read;
                std::printf(MSG_INI_USED, path.c_str());
                return 1;
            }
            if (r.result == file_read::too_large) {
                // Not passed over: the values meant for the watch may well be in it.
                print_both(formatted(MSG_INI_TOO_LARGE, path, std::to_string(HEQ_INI_SIZE_MAX)).c_str());
                return TOOL_NO_PARAM_FILE;
            }
            reason = r.result == file_read::ok            ? "holds no section"
                     : r.result == file_read::not_regular ? "not a regular file"
                                                          : std::string("cannot be read: ") + std::strerror(r.error);
        }
        if (failed_path.empty()) {
            failed_path = path;
            why = reason;
        }
    }
    if (failed_path.empty()) {
        failed_path = candidate_path(directory, HEQ_INI_NAMES[0]);
        why = "not found";
        for (std::size_t i = 1; i < HEQ_INI_NAMES.size(); ++i)
            why += std::string(i == 1 ? ", nor " : " or ") + HEQ_INI_NAMES[i];
    }
    print_both(formatted(MSG_INI_NOT_FOUND, failed_path, why).c_str());
    return TOOL_NO_PARAM_FILE;
}
