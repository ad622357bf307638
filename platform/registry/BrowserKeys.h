// The registry keys through which a browser finds the components it loads.
// Registration code writes them; the browser host reads them.
#pragma once

namespace qm::platform {

// HKLM: one subkey per helper object class, named by its class identifier
// in registry text form; the browser makes one object of each per window.
inline constexpr char16_t BrowserHelperObjectsKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
// HKLM: one string value per toolbar band class, named by its class
// identifier; the data is the band's caption.
inline constexpr char16_t BrowserToolbarKey[] = u"Software\\Microsoft\\Internet Explorer\\Toolbar";
// HKCR: the class key's subkey naming the library that serves the class
// (default value) and its threading model.
inline constexpr char16_t InprocServerSubkey[] = u"InprocServer32";

}  // namespace qm::platform
