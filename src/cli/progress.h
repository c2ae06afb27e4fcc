#pragma once
// A one-line progress indicator on standard error for an import or export that
// runs past a second: rows done, and of how many when that is known. Drawn only
// when standard error is a terminal, and cleared when the work is done, so a
// script, a pipe or a log never sees it.

#include "cli/console.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class Progress
{
public:
    // `what` names the work ("Importing"); `total` the rows, when known. Nothing
    // is drawn unless `wanted`.
    Progress(Console& console, std::string_view what, std::optional<std::size_t> total, bool wanted = true,
             std::chrono::milliseconds delay = std::chrono::seconds(1));
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` so far (rows, or the unit of the step). Cheap: the clock is read
    // only every few rows.
    void advance(std::size_t done)
    {
        if (m_enabled && done >= m_nextLook) {
            m_nextLook = done + m_lookEvery;
            look(done);
        }
    }
    // Goes on with other work: `what`, counted from none again, of `total` when
    // known, in `unit` (entries when empty). The time already spent counts
    // towards the first drawing.
    void nextStep(std::string_view what, std::optional<std::size_t> total, std::string_view unit = {});
    // Clears the line, if one was drawn; nothing more is drawn after.
    void finish();

private:
    static constexpr std::size_t RowsPerLook = 64;
    void look(std::size_t done);

    Console& m_console;
    bool m_enabled;
    std::string m_what;
    std::optional<std::size_t> m_total;
    std::string m_unit;
    std::size_t m_lookEvery = RowsPerLook;
    std::chrono::steady_clock::time_point m_nextDraw;
    std::size_t m_nextLook = 0;
    std::size_t m_drawn = 0; // the width of the line on screen
};

} // namespace kv
