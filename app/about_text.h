/* The About box's text, line by line, in one place for both editions: the
   Linux shell builds its dialog from it, and the Windows dialog resource takes
   the same lines. The box shows the name, an empty line, a note, an empty
   line, and two credits: what carries the bytes to the port (the program's
   own kernel driver on Windows, the kernel's parallel-port driver on Linux)
   and the FFT routine. The Windows box names the program and points to where
   updates are found; the Linux box, which has no web page to point to, gives
   the version and the licence instead. Lines are short enough for the Windows
   box (142 dialog units wide). Plain string macros, so that a resource
   compiler can read this file as well as C and C++. */
#ifndef SONABAR_ABOUT_TEXT_H
#define SONABAR_ABOUT_TEXT_H

#define ABOUT_CAPTION "About"
#define ABOUT_LINE_NAME "Sonabar"
#define ABOUT_LINE_UPDATES "See the home page for updates."
#define ABOUT_LINE_LICENCE "Free software under the MIT licence."
#define ABOUT_LINE_PORT_CREDIT_WINDOWS "Port I/O driver: Sonabar's own."
#define ABOUT_LINE_PORT_CREDIT_LINUX "Parallel port: the kernel's ppdev."
#define ABOUT_LINE_FFT_CREDIT "FFT routine: Sonabar's own."

#define ABOUT_TEXT_WITH(name, note, port_credit) \
    name "\n\n" note "\n\n" port_credit "\n" ABOUT_LINE_FFT_CREDIT
#define ABOUT_TEXT_WINDOWS ABOUT_TEXT_WITH(ABOUT_LINE_NAME, ABOUT_LINE_UPDATES, ABOUT_LINE_PORT_CREDIT_WINDOWS)
/* "Sonabar" and the version, a string literal. */
#define ABOUT_TEXT_LINUX(version) \
    ABOUT_TEXT_WITH(ABOUT_LINE_NAME " " version, ABOUT_LINE_LICENCE, ABOUT_LINE_PORT_CREDIT_LINUX)

#endif
