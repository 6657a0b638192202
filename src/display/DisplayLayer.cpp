// The display layer's library needs one translation unit before any panel's
// view functions exist; each panel adds its own file beside this one.
