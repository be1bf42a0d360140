// A resource-only module for the licence tests; it has no code to run.
