#pragma once
// Shared main of the benchmark programs.
#include <QByteArray>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <exception>
#include <functional>

// Runs every selected benchmark after setUp; a set-up that throws ends the program before any
// benchmark runs (false). ZW_BIN_DIR in the environment defaults to the build's bin directory.
inline bool RunBenchmarks(int& argc, char** argv, const std::function<void()>& setUp) {
    if (qEnvironmentVariableIsEmpty("ZW_BIN_DIR"))
        qputenv("ZW_BIN_DIR", QByteArray(ZW_BIN_DIR));
    if (qEnvironmentVariableIsEmpty("ZW_SOURCE_DIR"))
        qputenv("ZW_SOURCE_DIR", QByteArray(ZW_SOURCE_DIR));
    benchmark::Initialize(&argc, argv);
    try {
        setUp();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench set-up failed: %s\n", e.what());
        return false;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return true;
}
