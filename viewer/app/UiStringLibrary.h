#pragma once

#include <QString>

namespace drivora {

// The interface texts live in a catalogue file beside the program, addressed by
// numeric id. Every caller follows the same protocol: load the catalogue, read
// the texts it needs, release it before returning. When the catalogue cannot be
// loaded each caller goes on with its own fallback, so the file is looked up
// on every load; a load while another is still held only counts a reference.
class UiStringLibrary {
public:
    static constexpr const char *kFileName = "Korean.strings";
    static constexpr int kBufferSize = 1024; // a text is at most 1023 bytes

    UiStringLibrary() = default;
    ~UiStringLibrary() { release(); }
    UiStringLibrary(const UiStringLibrary &) = delete;
    UiStringLibrary &operator=(const UiStringLibrary &) = delete;

    // Opens the catalogue by its file name in the program's folder.
    bool load();
    bool isLoaded() const { return m_loaded; }

    // Copies text `id` into buffer (UTF-8, zero-terminated, cut at a character
    // boundary to fit bufferSize - 1 bytes). Returns the number of bytes copied,
    // 0 when the id is unknown or the catalogue is not loaded.
    int loadString(int id, char *buffer, int bufferSize) const;

    // The same through a 1024-byte buffer, as a QString.
    QString text(int id) const;

    void release();

    // The folder searched for the catalogue; empty means the program's folder.
    // Tests point it elsewhere.
    static void setSearchDirectory(const QString &folder);
    static QString catalogueFilePath();

private:
    bool m_loaded = false;
};

// Reads one text with the whole protocol; the empty text when the catalogue is
// missing or has no such id.
QString LoadUiString(int id);

// The texts of Qt's own dialogs and buttons (folder picker, message box
// buttons, printer dialog) in Korean, like the rest of the interface, from
// the system's Qt translations. False when they are not installed: those
// texts then stay in English.
bool InstallQtKoreanTexts();

} // namespace drivora
