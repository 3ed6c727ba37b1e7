# SPDX-License-Identifier: MIT
# Installs the build below a staging directory (DESTDIR) at its configured
# prefix and library directory, as a packager does, then builds and runs a
# consumer through the CMake package and through pkg-config.
set(stage ${WORK}/stage)
file(REMOVE_RECURSE ${WORK})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} -E env DESTDIR=${stage} ${CMAKE_COMMAND} --install ${BUILD_DIR})
foreach(f ${INCLUDEDIR}/qxap.h ${LIBDIR}/libqxap.so ${LIBDIR}/cmake/qxap/qxapConfig.cmake
    ${LIBDIR}/pkgconfig/qxap.pc ${BINDIR}/orv3get ${BINDIR}/orv3sim ${BINDIR}/orv3drift ${MANDIR}/man1/orv3get.1 ${MANDIR}/man1/orv3drift.1
    ${MANDIR}/man3/qxap.3 ${PREFIX}/lib/udev/rules.d/70-orv3-access-point.rules)
  if(NOT EXISTS ${stage}${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SRC}/consumer -B ${WORK}/consumer -DCMAKE_PREFIX_PATH=${stage}${PREFIX})
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${stage}${LIBDIR} ${WORK}/consumer/consumer)

set(ENV{PKG_CONFIG_PATH} ${stage}${LIBDIR}/pkgconfig)
run(pkg-config --cflags --libs qxap)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} -std=c++20 ${SRC}/consumer/consumer.cpp ${flags} -o ${WORK}/pc_consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${stage}${LIBDIR} ${WORK}/pc_consumer)
