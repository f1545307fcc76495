/* Loaded by the tests from a deep directory; it needs no code of its own. */
int quellbox_module_probe;
