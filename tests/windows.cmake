# SPDX-License-Identifier: MIT
# The tests of the Windows build, run under Wine: the unit tests of the
# portable code, and two against the platform as a peer. The simulator, the
# pseudo-terminal runs and the end-to-end tests stay on POSIX.
set(T ${CMAKE_CURRENT_SOURCE_DIR})
add_library(orv3_tz_test_support STATIC ${T}/timezones/memory_source.cpp)
target_link_libraries(orv3_tz_test_support PUBLIC orv3_timezones)

orv3_test(platform_text_test SOURCES ${T}/platform/text_test.cpp LIBS orv3_platform)
orv3_test(tz_catalogue_test SOURCES ${T}/timezones/catalogue_test.cpp LIBS orv3_tz_test_support)
# The match of the host zone set through TZ needs zone rules by tz database
# name, which Windows has not; the registry test below matches Wine's host zone.
orv3_test(tz_watch_zones_test SOURCES ${T}/timezones/watch_zones_test.cpp LIBS orv3_tz_test_support
  ARGS --gtest_filter=-WatchZoneMatch.*)
orv3_test(tools_options_test SOURCES ${T}/tools/options_test.cpp LIBS orv3_tools)
orv3_test(tools_clock_reduction_test SOURCES ${T}/tools/clock_reduction_test.cpp LIBS orv3_tools)
orv3_test(tools_time_setter_test SOURCES ${T}/tools/time_setter_test.cpp LIBS orv3_tools)
# Month names of the user locale that Wine takes from LC_ALL at its start.
orv3_test(watchlink_info_blocks_test SOURCES ${T}/watchlink/info_blocks_test.cpp LIBS orv3_watchlink
  PROPERTIES ENVIRONMENT LC_ALL=C)

# Wine's registry time-zone database and its private-profile reader.
orv3_test(tz_registry_peer_test SOURCES ${T}/timezones/registry_peer_test.cpp LIBS orv3_tools
  PROPERTIES ENVIRONMENT TZ=America/Los_Angeles)
orv3_test(platform_profile_peer_test SOURCES ${T}/platform/profile_peer_test.cpp LIBS orv3_platform)

# qxap.dll through its import library, beside the test in bin/.
orv3_test(aplink_dll_test SOURCES ${T}/aplink/dll_test.cpp LIBS qxap)
