/* Symbol visibility across library boundaries.
 *
 * Every library is built with hidden visibility; only what is marked here is
 * exported. Component libraries export their builders as plain C symbols named
 * "VxExport1", "VxExport2", ... (the numbered exports of a component library);
 * the host looks them up in that order until one is missing. */
#ifndef VANTESSEL_EXPORT_H
#define VANTESSEL_EXPORT_H

#define VX_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define VX_EXTERN_C extern "C"
#else
#define VX_EXTERN_C
#endif

/* Prefix of the numbered exports: export n is the symbol "VxExport<n>". */
#define VX_EXPORT_PREFIX "VxExport"

/* Declares a numbered export of a component library, e.g. VX_NUMBERED_EXPORT(1). */
#define VX_NUMBERED_EXPORT_NAME(n) VxExport##n

#endif
