/* Control ids of the settings dialog, shared by the template and the dialog
   procedure. Plain defines so that the resource compiler can read them. */
#ifndef ROZOVE_DIALOG_IDS_H
#define ROZOVE_DIALOG_IDS_H

#define IDC_LOOP_COUNT 100
#define IDC_MASK_MODE 101

#endif
