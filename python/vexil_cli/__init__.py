"""The `vexil` command: reports and plots of Boolean functions."""
