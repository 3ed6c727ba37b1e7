#include "tools/heq_params.h"

#include <cstdio>
#include <string>

#include "platform/directory.h"
#include "platform/profile.h"
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

bool file_exists(const std::string& directory, const std::string& path)
{
    if (directory.empty() || path.size() > HEQ_INI_PATH_MAX)
        return false;
    char sections[SECTION_LIST_SIZE] = {};
    return plat_profile_section_names(path.c_str(), sections, sizeof sections) > 0;
}

}  // namespace

bool heq_params_differ(const heq_params& a, const heq_params& b) { return !(a == b); }

int read_heq_ini(heq_params& p)
{
    char cwd[DIRECTORY_BUFFER_SIZE] = {};
    // Without a current directory no candidate is tried: an empty one would
    // name a file somewhere else.
    const std::string directory = plat_current_directory(cwd, sizeof cwd) ? cwd : "";
    std::string path;
    bool found = false;
    for (const char* name : HEQ_INI_NAMES) {
        path = candidate_path(directory, name);
        if ((found = file_exists(directory, path)))
            break;
    }
    if (!found) {
        std::string text(path.size() + sizeof MSG_INI_NOT_FOUND, '\0');
        text.resize(static_cast<std::size_t>(std::snprintf(text.data(), text.size(), MSG_INI_NOT_FOUND, path.c_str())));
        print_both(text.c_str());
        return 0;
    }
    heq_params read{};
    visit_heq_fields(read, [&](int i, auto& field) {
        using T = std::remove_reference_t<decltype(field)>;
        // Cut to the field's width: the low-order bits, two's complement.
        field = static_cast<T>(
            plat_profile_int(HEQ_INI_SECTION, HEQ_FIELDS[i].name, HEQ_INI_DEFAULTS[i], path.c_str()));
    });
    p = read;
    std::printf(MSG_INI_USED, path.c_str());
    return 1;
}
