#pragma once

namespace vmx::ui {

// Which property of a control a catalogue text goes to.
enum class CaptionProp {
    Caption, // action, menu, button, label, group, page tab; for a labelled edit its label
    Hint,    // tool tip
    Label,   // the label of a labelled edit
    Items,   // items of a combo box or list from a comma text (a combo keeps its selection)
    Text,    // the text of an edit
    Title,   // title of a file dialog
    Filter,  // filter of a file dialog
    Column0, // the cells of column 0 of a grid from a comma text
};

struct CaptionAssignment {
    const char* Name; // objectName; "Application" for the application title
    CaptionProp Prop;
    int Msg; // catalogue index
};

// The whole assignment, in the order it is applied (a control named twice keeps the later text).
extern const CaptionAssignment kCaptionTable[];
extern const int kCaptionTableSize;

} // namespace vmx::ui
