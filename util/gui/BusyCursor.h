#pragma once

// Shows the busy cursor over every window of the program for as long as it
// lives, so that work which can take a while on a large store (a search, a
// delete, opening the entry page, decoding a large picture) is seen to be
// under way. Instances nest; the cursor goes back when the outermost ends.
// While a modal window is open on top (a question, a message, the picture
// dialog), the pointer is the ordinary arrow: the program then waits for the
// user, not the user for the program.
namespace qb {

class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace qb
