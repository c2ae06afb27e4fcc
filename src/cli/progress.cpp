#include "cli/progress.h"

#include <algorithm>
#include <ostream>

namespace kv {

namespace {

constexpr std::chrono::milliseconds RedrawEvery(100);

} // namespace

Progress::Progress(Console& console, std::string_view what, std::optional<std::size_t> total, bool wanted,
                   std::chrono::milliseconds delay)
    : m_console(console), m_enabled(wanted && console.errorIsTerminal()), m_what(what), m_total(total)
{
    m_nextDraw = std::chrono::steady_clock::now() + delay;
}

void Progress::look(std::size_t done)
{
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextDraw)
        return;
    m_nextDraw = now + RedrawEvery;
    std::string line = m_what + ": " + std::to_string(done);
    if (m_total)
        line += " of " + std::to_string(*m_total);
    if (!m_unit.empty())
        line += ' ' + m_unit;
    else
        line += (m_total ? *m_total : done) == 1 ? " entry" : " entries";
    const std::size_t width = line.size();
    if (width < m_drawn)
        line.append(m_drawn - width, ' '); // over what a longer line left
    m_drawn = std::max(m_drawn, width);
    m_console.err() << '\r' << line << std::flush;
}

void Progress::nextStep(std::string_view what, std::optional<std::size_t> total, std::string_view unit)
{
    m_what = what;
    m_total = total;
    m_unit = unit;
    m_lookEvery = unit.empty() ? RowsPerLook : 1; // a unit is a large step
    m_nextLook = 0;
}

void Progress::finish()
{
    if (m_drawn > 0)
        m_console.err() << '\r' << std::string(m_drawn, ' ') << '\r' << std::flush;
    m_drawn = 0;
    m_enabled = false;
}

} // namespace kv
