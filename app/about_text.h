/* The About box's text, line by line, in one place for every edition: the
   Linux shell builds its dialog from it, and the Windows dialog resource
   mirrors the same lines. Plain string macros, so that a resource compiler
   can read this file as well as C and C++. */
#ifndef SONABAR_ABOUT_TEXT_H
#define SONABAR_ABOUT_TEXT_H

#define ABOUT_CAPTION "About"
#define ABOUT_LINE_NAME "Sonabar"
#define ABOUT_LINE_UPDATES "Visit https://sonabar.example.org/ for updates."
#define ABOUT_LINE_DRIVER_CREDIT "Port I/O driver: written for Sonabar by its developers."
#define ABOUT_LINE_FFT_CREDIT "FFT routine: a radix-2 Cooley-Tukey transform, written for Sonabar."

/* The whole text as the box shows it: name, empty line, updates, empty line, two credits. */
#define ABOUT_TEXT                                                                           \
    ABOUT_LINE_NAME "\n\n" ABOUT_LINE_UPDATES "\n\n" ABOUT_LINE_DRIVER_CREDIT "\n" ABOUT_LINE_FFT_CREDIT

#endif
