// Runs the built tool and compares its output, status and chapter file bytes.
