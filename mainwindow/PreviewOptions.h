#pragma once

// The options strip as the preview and the batches read it: the design template
// box filled from the template directory, the check boxes, kept in options.dat
// between sessions.

#include "page/Page.h"
#include "platform/AppPaths.h"
#include "platform/Options.h"

namespace lumbrook {

class CodePage;
class MainWindowWidgets;

class PreviewOptions {
  public:
    PreviewOptions(MainWindowWidgets& ui, const AppPaths& paths);

    // The template box: every "*.htm" of the template directory (names shown in
    // the store's code page), the last one chosen.
    void listTemplates(const CodePage& codePage);
    // The strip as options.dat left it; as it is when there is none.
    void open();
    // The strip into options.dat, its directory made first.
    void save() const;
    // The design the strip asks for, for a store of this code page.
    Design design(const CodePage& codePage) const;

  private:
    Options current() const;

    MainWindowWidgets& ui;
    const AppPaths& paths;
};

}  // namespace lumbrook
