"""The one way a test server tells its port: the port number written to a file, which appears
whole (written beside it, then renamed) only once the server listens."""
import os


def announce_port(port_file, port):
    with open(port_file + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(port_file + ".tmp", port_file)


async def serve_announced(server, port_file):
    """Announces an asyncio server's port and serves until the process is stopped."""
    announce_port(port_file, server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()
