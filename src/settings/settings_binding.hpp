#pragma once

#include <QString>

#include "keymap/key_table_view.hpp"
#include "keymap/system_settings.hpp"
#include "settings/ini_file.hpp"

namespace settings {

// The main window's screen position, as the window itself holds it.
class WindowPositionView {
public:
    virtual ~WindowPositionView() = default;
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual void setLeft(int left) = 0;
    virtual void setTop(int top) = 0;
};

inline constexpr int DefaultLeft = 100;
inline constexpr int DefaultTop = 100;
inline constexpr char DefaultJCode[] = "1024";

// "Key 01" ... "Key 12".
QString rowSection(int row);

// What a row shows when the file does not say otherwise (rows 1..12).
struct RowDefaults {
    QString symbol;
    QString value;
    QString descript;
};
RowDefaults rowDefaults(int row);

// Fills the key table, then the window's left and top edge, then the system settings,
// from the file as `ini` read it. Never fails: whatever is missing or unusable gets its
// default.
void load(const IniFile& ini, keymap::KeyTableView& keys, WindowPositionView& window,
          keymap::SystemSettings& system);

// The two parts of load() that a mapper without a window needs: the twelve rows, and the
// three system settings.
void loadKeyTable(const IniFile& ini, keymap::KeyTableView& keys);
void loadSystemSettings(const IniFile& ini, keymap::SystemSettings& system);

// Writes all 89 values (12 rows of 7 keys, the position, the system settings unchanged)
// and saves the file once. The file is read again first, so that lines someone changed
// on disk since the start are kept as they are now. Throws WriteError; the old file then
// stays as it was.
void Save_all(IniFile& ini, const keymap::KeyTableView& keys, const WindowPositionView& window,
              const keymap::SystemSettings& system);

}  // namespace settings
