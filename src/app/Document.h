#pragma once
// Document: the program's one document. It holds no file data; it owns the
// connection to the module (port A) and the alternate port pair (the
// controller keyboard's input and the module's B output), opens them from
// the port settings, reopens them after "Configure MIDI", and echoes the
// controller keyboard to the module on the panel's channel (MIDI thru).

#include "midi/MidiPort.h"

#include <cstdint>
#include <functional>
#include <memory>

class MidiBackend;
class Proteus;
class View;
class QWidget;

class Document {
public:
    /// The controller keyboard's input and the module's B output.
    class AlternatePort : public MidiPort {
    public:
        AlternatePort(Document& document, std::shared_ptr<MidiBackend> backend);
        void OnConnect() override;
        void OnIncomingMessage() override;
        void OnIncomingError() override;
        void OnDisconnect() override;
        void OnShortData(std::uint32_t packed) override;
        void OnShortError(std::uint32_t packed) override;
        void OnSent(const void* data, unsigned length) override;

    private:
        Document& m_document;
    };

    /// The fields of the device dialog: the four ports, the device id and the three times.
    struct DeviceSettings {
        int inputPort = -1;
        int outputPort = -1;
        int deviceId = 0;
        int bPort = -1;
        int controllerPort = -1;
        int longTimeout = 0;
        int writeDelay = 0;
        int sysExDelay = 0;
        bool operator==(const DeviceSettings&) const = default;
    };
    /// Runs the device dialog over the fields; true (fields changed in place)
    /// when the user accepted it.
    using DeviceDialogRunner = std::function<bool(DeviceSettings& fields)>;

    /// backend: the MIDI back end both port pairs use (null: the process default).
    explicit Document(std::shared_ptr<MidiBackend> backend = nullptr);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    /// Start-up: makes sure ports are configured (asking the user when not),
    /// then opens both port pairs. False only when the document can't be made.
    bool OnNewDocument();
    /// Runs the device dialog preloaded from the fields and settings; true when accepted.
    bool ConfigureDevice();
    /// The "Configure MIDI" command.
    void OnConfigureMidi();

    void SetInputPort(int port);
    void SetOutputPort(int port);
    void SetControllerPort(int port);
    void SetBPort(int port);

    /// MIDI thru: a short message from the controller keyboard.
    void OnShortData(std::uint32_t packed);
    void UpdateChannelRange();
    /// Asked before the main window closes: an editor with unsaved changes may veto.
    bool CanCloseFrame();

    Proteus& GetProteus() { return *m_proteus; }
    AlternatePort& GetAltPort() { return *m_alternatePort; }
    int GetInputPort() const { return m_inputPort; }
    int GetOutputPort() const { return m_outputPort; }
    int GetDeviceId() const { return m_deviceId; }
    int GetBPort() const { return m_bPort; }
    int GetControllerPort() const { return m_controllerPort; }

    /// The view that shows this document (none until the frame is built).
    void SetView(View* view) { m_view = view; }
    View* GetFirstView() const { return m_view; }
    /// Tells the view the ports changed (their names are shown again) and
    /// rebuilds the main window's title.
    void UpdateAllViews();
    /// Rebuilds the main window's title from the connection state (nothing
    /// while there is no main window).
    void UpdateFrameTitle();

    /// Replaces how the device dialog is run (tests); null restores the dialog.
    void SetDeviceDialogRunner(DeviceDialogRunner runner) { m_runDeviceDialog = std::move(runner); }
    /// Runs ConfigureDeviceDlg over fields, owned by the main window.
    static bool RunDeviceDialog(DeviceSettings& fields, QWidget* owner);

private:
    int m_outputPort = -1;
    int m_inputPort = -1;
    std::uint8_t m_deviceId = 0;
    std::unique_ptr<Proteus> m_proteus;
    int m_bPort = -1;
    int m_controllerPort = -1;
    std::unique_ptr<AlternatePort> m_alternatePort;
    View* m_view = nullptr;
    DeviceDialogRunner m_runDeviceDialog;

    /// Reads the five port fields from the settings.
    void LoadPortSettings();
    /// Opens the module's port pair with the times of the settings.
    void OpenModulePort();
    /// Opens the alternate pair when the controller or the B port is set.
    void OpenAlternatePort();
};
