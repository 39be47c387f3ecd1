from vexil_cli.cli import main

raise SystemExit(main())
