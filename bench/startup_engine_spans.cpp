// The workbook engine's share of the real start-up. The diary probe is linked
// with --wrap for Workbook::open and Workbook::readTable, so the calls the start
// sequence makes pass through here and are timed where they really happen.
#include "platform/workbook/Workbook.h"

#include <chrono>
#include <memory>

namespace {

long long g_engineNs = 0;

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// Read by first_frame.cpp (weakly, so the minimal probe needs none of this).
long long benchEngineNs() { return g_engineNs; }

// Weak: should the engine's signatures change, the wrap goes unused and the
// probe still links; the table then shows no engine figure.
extern "C" {
__attribute__((weak)) std::unique_ptr<workbook::Workbook>
__real__ZN8workbook8Workbook4openERK7QStringPNS_5ErrorE(const QString& path, workbook::Error* error);
__attribute__((weak)) bool __real__ZNK8workbook8Workbook9readTableERK7QStringPNS_11RecordTableEPNS_5ErrorE(
    const workbook::Workbook* book, const QString& sheet, workbook::RecordTable* table, workbook::Error* error);

std::unique_ptr<workbook::Workbook> __wrap__ZN8workbook8Workbook4openERK7QStringPNS_5ErrorE(const QString& path,
                                                                                            workbook::Error* error)
{
    const long long t0 = nowNs();
    auto book = __real__ZN8workbook8Workbook4openERK7QStringPNS_5ErrorE(path, error);
    g_engineNs += nowNs() - t0;
    return book;
}

bool __wrap__ZNK8workbook8Workbook9readTableERK7QStringPNS_11RecordTableEPNS_5ErrorE(const workbook::Workbook* book,
                                                                                     const QString& sheet,
                                                                                     workbook::RecordTable* table,
                                                                                     workbook::Error* error)
{
    const long long t0 = nowNs();
    const bool ok =
        __real__ZNK8workbook8Workbook9readTableERK7QStringPNS_11RecordTableEPNS_5ErrorE(book, sheet, table, error);
    g_engineNs += nowNs() - t0;
    return ok;
}
}
