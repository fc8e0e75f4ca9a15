/* The About box's text, line by line, in one place for both editions: the
   Linux shell builds its dialog from it, and the Windows dialog resource takes
   the same lines. The box shows the name, an empty line, where to find
   updates, an empty line, and two credits: what carries the bytes to the port
   (the program's own kernel driver on Windows, the kernel's parallel-port
   driver on Linux) and the FFT routine. Lines are short enough for the Windows
   box (142 dialog units wide). Plain string macros, so that a resource
   compiler can read this file as well as C and C++. */
#ifndef SONABAR_ABOUT_TEXT_H
#define SONABAR_ABOUT_TEXT_H

#define ABOUT_CAPTION "About"
#define ABOUT_LINE_NAME "Sonabar"
#define ABOUT_LINE_UPDATES "See the home page for updates."
#define ABOUT_LINE_PORT_CREDIT_WINDOWS "Port I/O driver: Sonabar's own."
#define ABOUT_LINE_PORT_CREDIT_LINUX "Parallel port: the kernel's ppdev."
#define ABOUT_LINE_FFT_CREDIT "FFT routine: Sonabar's own."

#define ABOUT_TEXT_WITH(port_credit) \
    ABOUT_LINE_NAME "\n\n" ABOUT_LINE_UPDATES "\n\n" port_credit "\n" ABOUT_LINE_FFT_CREDIT
#define ABOUT_TEXT_WINDOWS ABOUT_TEXT_WITH(ABOUT_LINE_PORT_CREDIT_WINDOWS)
#define ABOUT_TEXT_LINUX ABOUT_TEXT_WITH(ABOUT_LINE_PORT_CREDIT_LINUX)

#endif
