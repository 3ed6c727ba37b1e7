// SPDX-License-Identifier: MIT
// The watch's information blocks as any watch could send them: the
// firmware identification stays within its fields, the lines print.
#include <cstdint>

#include "tests/fuzz/fuzz_input.h"
#include "watchlink/info_blocks.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_quiet_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    fuzz_input in{data, size};
    info_blocks blocks{};
    for (watch_reply& b : blocks)
        for (uint8_t& byte : b)
            byte = in.byte();
    const firmware_id fw = identify_firmware(blocks[3]);
    FUZZ_CHECK(fw.version <= 15 && fw.month <= 15 && fw.variant <= 7);
    FUZZ_CHECK(fw.day >= 1 && fw.day <= 32);
    FUZZ_CHECK(fw.subsec_offset + 2 <= WATCH_FRAME_SIZE);
    FUZZ_CHECK(fw.has_extra4 == fw_has_extra4(fw.kind, fw.version, fw.variant));
    const int32_t s24 = get_s24(blocks[4].data(), EXTRA4_POS_S24);
    FUZZ_CHECK(s24 >= -(1 << 23) && s24 < (1 << 23));
    print_info_blocks(blocks, fw);
    return 0;
}
