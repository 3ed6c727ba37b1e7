// SPDX-License-Identifier: MIT
// Test support: what a call prints on the standard output.
#pragma once
#include <cstdio>
#include <string>
#include <unistd.h>

// Runs f with descriptor 1 on a temporary file and returns what went there.
template <class F>
std::string capture_stdout(F&& f)
{
    std::fflush(stdout);
    FILE* tmp = std::tmpfile();
    const int saved = dup(1);
    dup2(fileno(tmp), 1);
    f();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string text;
    std::rewind(tmp);
    for (int c; (c = std::fgetc(tmp)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(tmp);
    return text;
}
