// Cost of one conversion of an eight-digit number, beside the cost of merely
// building a result of the same size.
#include <conversion/convert.h>

#include <benchmark/benchmark.h>
#include <phonenumbers/phonenumberutil.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

namespace {

const std::array<std::u32string, 8> typicalNumbers{
    U"42123456",
    U"45678901",
    U"05123456",
    U"19441234",
    U"36151234",
    U"16145678",
    U"88776655",
    U"52123456",
};

void BM_Convert(benchmark::State &state)
{
    std::size_t i = 0;
    for (auto _ : state) {
        std::u32string result = conversion::convert(typicalNumbers[i++ % typicalNumbers.size()]);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Convert);

// The floor: a 14-character result put together from fixed parts.
void BM_Floor(benchmark::State &state)
{
    std::u32string_view prefix = U"04";
    std::u32string_view digits = U"42123456";
    for (auto _ : state) {
        benchmark::DoNotOptimize(prefix.data());
        benchmark::DoNotOptimize(digits.data());
        std::u32string result;
        result.reserve(14);
        result.append(prefix);
        for (std::size_t pos = 0; pos < 8; pos += 2)
            result.append(1, U'.').append(digits.substr(pos, 2));
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Floor);

// What a programmer would otherwise reach for: the general telephone number
// library, parsing the ten-digit national number and formatting it.
void BM_LibPhoneNumber(benchmark::State &state)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    const std::array<std::string, 4> numbers{"0442123456", "0545678901", "0612345678",
                                             "0145678901"};
    std::size_t i = 0;
    for (auto _ : state) {
        PhoneNumber number;
        util->Parse(numbers[i++ % numbers.size()], "FR", &number);
        std::string formatted;
        util->Format(number, PhoneNumberUtil::NATIONAL, &formatted);
        benchmark::DoNotOptimize(formatted.data());
    }
}
BENCHMARK(BM_LibPhoneNumber);

// Keeps the time per iteration of each benchmark for the closing ratio.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration)
                nanoseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
    std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double convert = reporter.nanoseconds["BM_Convert"];
    const double floor = reporter.nanoseconds["BM_Floor"];
    if (convert > 0 && floor > 0)
        std::printf("convert: %.1f ns/call  floor: %.1f ns  ratio: %.2fx\n", convert, floor,
            convert / floor);
    if (convert > 0 && floor > 0)
        std::printf("row: conversion of an 8-digit number | %.1f ns a call, %.2fx the floor "
                    "(%.1f ns) | under 100 ns and 3x the floor\n",
            convert, convert / floor, floor);
    const double library = reporter.nanoseconds["BM_LibPhoneNumber"];
    if (convert > 0 && library > 0)
        std::printf("libphonenumber parse+format: %.1f ns/call  ratio to convert: %.0fx\n",
            library, library / convert);
    if (convert > 0 && library > 0)
        std::printf("row: libphonenumber, parse and format | %.0f ns a call, %.0fx the conversion "
                    "| for comparison\n",
            library, library / convert);
    return 0;
}
