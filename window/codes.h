#ifndef TAVRIN_CODES_H
#define TAVRIN_CODES_H

// The program's own commands; the platform's codes come from AppDefs.h.
enum {
    kOpen = 'fiop',
    kClose = 'ficl',
    kSaveAs = 'fiwr',
    kCapture = 'fica',
    kCaptureRegion = 'fcrg',
    kCaptureWindow = 'fcwi',
    // The delay of every capture, in the field "seconds".
    kCaptureDelay = 'fcdl',
    // Whether a captured window keeps its window manager's frame.
    kCaptureFrame = 'fcfr',
    // A capture's delay has passed (or was cancelled: "canceled").
    kCaptureNow = 'fcnw',
    kPrint = 'fipr',
    kConfig = 'conf',
    kFitToWindow = 'vfit',
    kActualSize = 'vact',
    kZoomIn = 'vzin',
    kZoomOut = 'vzou',
    kSave = 'fisv',
    kUndo = 'edun',
    kRedo = 'edre',
    kCopy = 'edcp',
    kPaste = 'edpa',
    kPasteInto = 'edpi',
    // The answer of the alert that asks about a name of another format.
    kSaveChoice = 'fisq'
};

#endif
