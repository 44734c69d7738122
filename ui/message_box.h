// Message box styles and answers, as the components state them: the button set in the low
// nibble, the icon in the next, the default button in the third.
#pragma once

namespace lorvante {

enum MessageBoxStyle : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNOCANCEL = 0x03,
  MB_YESNO = 0x04,
  MB_TYPEMASK = 0x0F,

  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,

  MB_DEFBUTTON1 = 0x000,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
  MB_DEFMASK = 0xF00,
};

enum MessageBoxResult : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDYES = 6,
  IDNO = 7,
};

// The answer of the default button of a box of `style`: what Enter gives, and what a run that
// asks nothing takes.
inline int DefaultAnswer(unsigned style) {
  const unsigned index = (style & MB_DEFMASK) >> 8;
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return index == 1 ? IDCANCEL : IDOK;
    case MB_YESNOCANCEL:
      return index == 1 ? IDNO : index == 2 ? IDCANCEL : IDYES;
    case MB_YESNO:
      return index == 1 ? IDNO : IDYES;
    default:
      return IDOK;
  }
}

}  // namespace lorvante
